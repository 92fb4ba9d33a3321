// One workbook saved by LibreOffice as .xls, .ods and .xlsx reads the same
// in all three: the same sheets, names, used areas and cell values, so that
// a form behaves alike whatever it was saved in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "xml_test_support.h"

namespace vers::engine {
namespace {

namespace fs = std::filesystem;

// Every fixture source that make_fixtures.sh has made all three outputs of.
std::vector<std::string> fixture_names() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(VERS_FIXTURES_DIR) / "sources", ec)) {
    if (entry.path().extension() != ".fods") continue;
    const std::string name = entry.path().stem().string();
    bool all = true;
    for (const char* ext : {".xls", ".ods", ".xlsx"}) all = all && fs::exists(xml_test::fixture(name + ext));
    if (all) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Numbers agree to the precision the text formats write (15 digits).
bool same_value(const Value& a, const Value& b) {
  if (a.is_number() && b.is_number())
    return std::fabs(a.as_number() - b.as_number()) <= 1e-9 * std::max(1.0, std::fabs(a.as_number()));
  return a == b;
}

// Cells whose saved value LibreOffice writes differently by format, as the
// records of its files show: its .xls holds 0 for a text formula result
// that it did not recalculate, and both its .xls and .xlsx hold a formula's
// TRUE as the number 1 with a Boolean number format, where its .ods says
// Boolean. Gnumeric's .xls of the same workbook holds the text and TRUE.
// Each such cell is checked against what each file holds.
struct KnownDifference {
  std::string fixture, sheet;
  uint32_t row, col;  // 1-based, as a spreadsheet shows them
  Value xls, ods, xlsx;
};

const std::vector<KnownDifference>& known_differences() {
  static const std::vector<KnownDifference> list = {
      {"sql_form", "Служебный", 15, 2, Value::number(0), Value::text("a\tb"), Value::text("a\tb")},
      {"sql_form", "Контроль", 4, 6, Value::number(1), Value::boolean(true), Value::number(1)},
  };
  return list;
}

const KnownDifference* known_difference(const std::string& fixture, const std::string& sheet, uint32_t row,
                                        uint32_t col) {
  for (const KnownDifference& d : known_differences())
    if (fixture == d.fixture && sheet == d.sheet && row == d.row && col == d.col) return &d;
  return nullptr;
}

class FormatsAgree : public testing::TestWithParam<std::string> {};

TEST_P(FormatsAgree, SameSheetsNamesAndValues) {
  const std::string name = GetParam();
  std::unique_ptr<Workbook> xls;
  try {
    xls = open_workbook(xml_test::fixture(name + ".xls"));
  } catch (const EngineError& e) {
    // Some .xls fixtures are encrypted after they are made; their .ods and
    // .xlsx twins are not, so there is nothing to compare.
    GTEST_SKIP() << e.what();
  }
  auto ods = open_workbook(xml_test::fixture(name + ".ods"));
  auto xlsx = open_workbook(xml_test::fixture(name + ".xlsx"));
  for (Workbook* other : {ods.get(), xlsx.get()}) {
    SCOPED_TRACE(name + (other == ods.get() ? ".ods" : ".xlsx"));
    ASSERT_EQ(other->sheet_names(), xls->sheet_names());

    std::map<std::string, DefinedName> expected_names;
    for (const DefinedName& n : xls->defined_names()) expected_names[n.name] = n;
    ASSERT_EQ(other->defined_names().size(), expected_names.size());
    for (const DefinedName& n : other->defined_names()) {
      ASSERT_TRUE(expected_names.count(n.name)) << n.name;
      const DefinedName& want = expected_names[n.name];
      EXPECT_EQ(n.kind, want.kind) << n.name;
      if (want.kind != DefinedName::Kind::Area) continue;
      EXPECT_EQ(n.sheet, want.sheet) << n.name;
      EXPECT_EQ(n.area, want.area) << n.name;
    }

    for (size_t sheet = 0; sheet < xls->sheet_names().size(); ++sheet) {
      const auto used = xls->used_area(sheet);
      ASSERT_EQ(other->used_area(sheet), used) << xls->sheet_names()[sheet];
      if (!used) continue;
      const std::string& sheet_name = xls->sheet_names()[sheet];
      const CellGrid want = xls->read_area(sheet, *used);
      const CellGrid got = other->read_area(sheet, *used);
      ASSERT_EQ(got.cells.size(), want.cells.size());
      for (uint32_t r = 0; r < want.rows; ++r)
        for (uint32_t c = 0; c < want.cols; ++c) {
          const uint32_t row = used->first_row + r + 1, col = used->first_col + c + 1;
          const KnownDifference* known = known_difference(name, sheet_name, row, col);
          if (known) {
            EXPECT_EQ(want.at(r, c), known->xls) << sheet_name << " row " << row << " col " << col;
          }
          const Value& expected = !known ? want.at(r, c) : other == ods.get() ? known->ods : known->xlsx;
          EXPECT_TRUE(same_value(got.at(r, c), expected))
              << sheet_name << " row " << row << " col " << col << ": " << testing::PrintToString(got.at(r, c))
              << " vs " << testing::PrintToString(expected);
        }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FormatsAgree, testing::ValuesIn(fixture_names()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace vers::engine
