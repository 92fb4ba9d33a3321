// A1 references and the ISO dates, times and durations of the XML formats.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/xml/a1_reference.h"
#include "engine/xml/serial_date.h"

namespace vers::engine::xml {
namespace {

TEST(A1Reference, ReadsCellsColumnsAndRows) {
  struct Case {
    const char* text;
    std::optional<uint32_t> row, col;
    bool valid;
  } cases[] = {
      {"A1", 0, 0, true},          {"$B$7", 6, 1, true},        {"b7", 6, 1, true},
      {"XFD1048576", 1048575, 16383, true},                      {"$C", std::nullopt, 2, true},
      {"$12", 11, std::nullopt, true}, {"XFE1", {}, {}, false},    {"A0", {}, {}, false},
      {"ABCD1", {}, {}, false},    {"A1B", {}, {}, false},       {"", {}, {}, false},
      {"$$1", {}, {}, false},      {"A-1", {}, {}, false},       {"A99999999999", {}, {}, false},
  };
  for (const Case& c : cases) {
    const auto point = parse_a1_point(c.text);
    ASSERT_EQ(point.has_value(), c.valid) << c.text;
    if (!point) continue;
    EXPECT_EQ(point->row, c.row) << c.text;
    EXPECT_EQ(point->col, c.col) << c.text;
  }
}

TEST(A1Reference, MakesAreasOfPointsOfOneKind) {
  auto area = [](const char* a, const char* b) {
    return make_a1_area(*parse_a1_point(a), b ? parse_a1_point(b) : std::nullopt, 1048576);
  };
  EXPECT_EQ(area("B2", "D4"), (CellArea{1, 1, 3, 3}));
  EXPECT_EQ(area("D4", "B2"), (CellArea{1, 1, 3, 3}));  // ends in either order
  EXPECT_EQ(area("C7", nullptr), (CellArea{6, 2, 6, 2}));
  EXPECT_EQ(area("$B", "$C"), (CellArea{0, 1, 1048575, 2}));
  EXPECT_EQ(area("$2", "$5"), (CellArea{1, 0, 4, kMaxColumns - 1}));
  EXPECT_EQ(area("B2", "$C"), std::nullopt);
  EXPECT_EQ(area("$C", nullptr), std::nullopt);
}

TEST(A1Reference, ReadsQuotedNamesAndFindsSeparatorsOutsideQuotes) {
  std::string name;
  size_t pos = 0;
  ASSERT_TRUE(read_quoted_name("'It''s a sheet'!A1", pos, name));
  EXPECT_EQ(name, "It's a sheet");
  EXPECT_EQ(pos, 15u);
  pos = 0;
  EXPECT_FALSE(read_quoted_name("'unterminated", pos, name));
  EXPECT_EQ(find_unquoted("'a!b''!c'!A1", '!'), 9u);
  EXPECT_EQ(find_unquoted("'a b'", ' '), std::string_view::npos);
}

TEST(SerialDate, ConvertsIsoDatesAndTimes) {
  const Epoch e1900;
  const Epoch e1904{1904, 1, 1};
  struct Case {
    const char* text;
    Epoch epoch;
    double serial;
  } cases[] = {
      {"1899-12-30", e1900, 0},
      {"1900-03-01", e1900, 61},
      {"2008-03-05", e1900, 39512},
      {"2008-03-05T09:05:07", e1900, 39512 + (9 * 3600 + 5 * 60 + 7) / 86400.0},
      {"2008-03-05T09:05:07.5Z", e1900, 39512 + (9 * 3600 + 5 * 60 + 7.5) / 86400.0},
      {"2008-03-05T12:00:00+03:00", e1900, 39512.5},
      {"2024-02-29T18:00", e1900, 45351.75},
      {"1904-01-02", e1904, 1},
      {"2008-03-05", e1904, 39512 - 1462},
      {"10:10:10", e1900, (10 * 3600 + 10 * 60 + 10) / 86400.0},
      {"1899-12-29", e1900, -1},
  };
  for (const Case& c : cases) {
    double serial = -99;
    ASSERT_TRUE(iso_date_to_serial(c.text, c.epoch, serial)) << c.text;
    EXPECT_NEAR(serial, c.serial, 1e-9) << c.text;
  }
  for (const char* bad : {"", "2008-3-5", "2008-02-30", "2007-02-29", "2008-13-01", "2008-03-05T25:00:00",
                          "2008-03-05 09:05:07", "2008-03-05Tx", "yesterday", "2008-03-05T09:05:07junk"}) {
    double serial = 0;
    EXPECT_FALSE(iso_date_to_serial(bad, e1900, serial)) << bad;
  }
}

TEST(SerialDate, ConvertsDurationsToDays) {
  struct Case {
    const char* text;
    double days;
  } cases[] = {
      {"PT09H05M07S", (9 * 3600 + 5 * 60 + 7) / 86400.0},
      {"PT12H", 0.5},
      {"P1DT6H", 1.25},
      {"PT36H00M00S", 1.5},
      {"-PT6H", -0.25},
      {"PT0.5S", 0.5 / 86400},
      {"P2W", 14},
  };
  for (const Case& c : cases) {
    double days = -99;
    ASSERT_TRUE(iso_duration_to_days(c.text, days)) << c.text;
    EXPECT_NEAR(days, c.days, 1e-12) << c.text;
  }
  for (const char* bad : {"", "P", "T09H", "PT9X", "P1Y", "P1M", "PT1H2", "09:05:07"}) {
    double days = 0;
    EXPECT_FALSE(iso_duration_to_days(bad, days)) << bad;
  }
}

}  // namespace
}  // namespace vers::engine::xml
