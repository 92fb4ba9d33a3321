// A table's area read from an .xls sheet in one pass that also finds the
// used area: the same area and values as finding the used area first and
// reading the clipped area after, whatever the sheet's DIMENSIONS record
// states about its extent.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/biff_fixture_files.h"
#include "engine/biff_patching.h"
#include "engine/workbook.h"
#include "value_printing.h"

namespace vers::engine {
namespace {

constexpr uint16_t kDimensions = 0x0200;
constexpr uint64_t kMaxCells = 4'000'000;

// Areas of the fixture's sheets: the defined names' own, and areas that
// reach past the data, start past it, or cover whole columns.
std::vector<std::pair<size_t, CellArea>> areas_of(Workbook& book) {
  std::vector<std::pair<size_t, CellArea>> areas;
  for (const DefinedName& name : book.defined_names())
    if (name.kind == DefinedName::Kind::Area) areas.push_back({name.sheet, name.area});
  for (size_t sheet = 0; sheet < book.sheet_names().size(); ++sheet) {
    areas.push_back({sheet, CellArea{0, 0, 65535, 255}});
    areas.push_back({sheet, CellArea{1, 1, 3, 1}});
    areas.push_back({sheet, CellArea{2, 0, 999, 2}});
    areas.push_back({sheet, CellArea{60000, 0, 65535, 2}});
  }
  return areas;
}

// The area as the reader reads it in one pass, on a workbook that has not
// yet read the sheet.
std::optional<ClippedArea> one_pass(const std::vector<uint8_t>& bytes, size_t sheet, const CellArea& area) {
  return open_workbook_bytes(bytes, "книга.xls")->read_clipped_area(sheet, area, kMaxCells);
}

// The same found the plain way: the used area, then the clipped area read.
std::optional<ClippedArea> used_then_read(Workbook& book, size_t sheet, const CellArea& area) {
  return book.Workbook::read_clipped_area(sheet, area, kMaxCells);
}

void expect_same(const std::optional<ClippedArea>& got, const std::optional<ClippedArea>& want) {
  ASSERT_EQ(got.has_value(), want.has_value());
  if (!want) return;
  EXPECT_EQ(got->area, want->area);
  EXPECT_EQ(got->grid.rows, want->grid.rows);
  EXPECT_EQ(got->grid.cols, want->grid.cols);
  EXPECT_EQ(got->grid.cells, want->grid.cells);
}

class BiffClippedArea : public testing::TestWithParam<XlsOutput> {
 protected:
  std::string fixture() const { return std::string("sql_form") + GetParam().suffix; }
};

TEST_P(BiffClippedArea, GivesTheAreaAndValuesOfTheUsedAreaFoundFirst) {
  const std::vector<uint8_t> bytes = read_fixture(fixture());
  auto reference = open_workbook_bytes(bytes, "книга.xls");
  for (const auto& [sheet, area] : areas_of(*reference)) {
    SCOPED_TRACE("sheet " + std::to_string(sheet) + " rows " + std::to_string(area.first_row) + "-" +
                 std::to_string(area.last_row) + " cols " + std::to_string(area.first_col) + "-" +
                 std::to_string(area.last_col));
    auto book = open_workbook_bytes(bytes, "книга.xls");
    const std::optional<ClippedArea> got = book->read_clipped_area(sheet, area, kMaxCells);
    expect_same(got, used_then_read(*reference, sheet, area));
    EXPECT_EQ(book->used_area(sheet), reference->used_area(sheet));  // the pass found it too
  }
}

TEST_P(BiffClippedArea, AStatedExtentThatIsWrongChangesNothing) {
  const bool biff8 = std::string(GetParam().suffix) != ".biff7.xls";
  // Where the record keeps one past the last row and one past the last
  // column, and their widths.
  const size_t rows_at = biff8 ? 4 : 2, cols_at = biff8 ? 10 : 6;
  auto set_rows = [&](PatchableWorkbook& f, size_t at, uint32_t v) {
    if (biff8)
      f.set_u32(at + rows_at, v);
    else
      f.set_u16(at + rows_at, static_cast<uint16_t>(v));
  };
  struct Case {
    const char* what;
    std::function<void(PatchableWorkbook&, size_t)> patch;  // the data of one DIMENSIONS record
  };
  const Case cases[] = {
      {"no record", [](PatchableWorkbook& f, size_t at) { f.set_u16(at - 4, 0x0099); }},
      {"no cells", [&](PatchableWorkbook& f, size_t at) { set_rows(f, at, 0); }},
      {"too few rows", [&](PatchableWorkbook& f, size_t at) { set_rows(f, at, 2); }},
      {"too few columns", [&](PatchableWorkbook& f, size_t at) { f.set_u16(at + cols_at, 1); }},
      {"far too many rows and columns",
       [&](PatchableWorkbook& f, size_t at) {
         set_rows(f, at, 65536);
         f.set_u16(at + cols_at, 256);
       }},
      {"a few more rows and columns",
       [&](PatchableWorkbook& f, size_t at) {
         set_rows(f, at, 40);
         f.set_u16(at + cols_at, 12);
       }},
  };
  const std::vector<uint8_t> original = read_fixture(fixture());
  auto reference = open_workbook_bytes(original, "книга.xls");
  const std::vector<std::pair<size_t, CellArea>> areas = areas_of(*reference);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PatchableWorkbook file(fixture());
    const std::vector<size_t> records = file.records(kDimensions);
    ASSERT_FALSE(records.empty());
    for (size_t at : records) c.patch(file, at);
    for (const auto& [sheet, area] : areas) {
      SCOPED_TRACE("sheet " + std::to_string(sheet) + " from row " + std::to_string(area.first_row));
      expect_same(one_pass(file.bytes, sheet, area), used_then_read(*reference, sheet, area));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Writers, BiffClippedArea, testing::ValuesIn(kXlsOutputs),
                         [](const testing::TestParamInfo<XlsOutput>& info) { return info.param.writer; });

}  // namespace
}  // namespace vers::engine
