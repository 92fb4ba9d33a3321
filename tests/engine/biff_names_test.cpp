// Defined names read from the .xls outputs of engine_biff_names.fods.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/biff_fixture_files.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

using Kind = DefinedName::Kind;

class BiffNames : public testing::TestWithParam<XlsOutput> {
 protected:
  void SetUp() override { book_ = open_workbook(fixture_path(std::string("engine_biff_names") + GetParam().suffix)); }
  bool from_gnumeric() const { return std::string(GetParam().suffix) != ".xls"; }
  std::unique_ptr<Workbook> book_;
};

TEST_P(BiffNames, AreaNamesPointAtTheirSheetAndCells) {
  struct Case {
    const char* name;
    const char* sheet;
    CellArea area;
  };
  const Case cases[] = {
      {"Data_Adr", "Данные", {1, 1, 3, 3}},  // a sheet that is not the first
      {"Одна", "Третий", {6, 2, 6, 2}},      // one cell
  };
  for (const Case& c : cases) {
    const DefinedName* name = find_name(*book_, c.name);
    ASSERT_NE(name, nullptr) << c.name;
    EXPECT_EQ(name->kind, Kind::Area) << c.name;
    EXPECT_EQ(name->sheet, sheet_index(*book_, c.sheet)) << c.name;
    EXPECT_EQ(name->area, c.area) << c.name;
  }
}

TEST_P(BiffNames, OtherNamesHaveTheirKind) {
  struct Case {
    const char* name;
    Kind kind;
    Kind kind_from_gnumeric;  // Gnumeric writes a union as an empty formula and
                              // a reference into an unknown workbook as #REF!
  };
  const Case cases[] = {
      {"Константа", Kind::Other, Kind::Other},
      {"Формула", Kind::Other, Kind::Other},
      {"ДваЛиста", Kind::MultipleAreas, Kind::MultipleAreas},
      {"Объединение", Kind::MultipleAreas, Kind::Other},
      {"Внешняя", Kind::External, Kind::Other},
  };
  for (const Case& c : cases) {
    const DefinedName* name = find_name(*book_, c.name);
    ASSERT_NE(name, nullptr) << c.name;
    EXPECT_EQ(name->kind, from_gnumeric() ? c.kind_from_gnumeric : c.kind) << c.name;
  }
}

TEST_P(BiffNames, SheetLocalNamesAreNotWorkbookNames) {
  EXPECT_EQ(find_name(*book_, "Местное"), nullptr);
}

TEST_P(BiffNames, BuiltInNamesNeverShadowAUsersName) {
  // The source has a print range on the first sheet (a built-in name) and a
  // user's name Print_Area on Данные. Gnumeric turns the user's name into a
  // print range as well, so its files have no user's Print_Area.
  size_t count = 0;
  for (const DefinedName& n : book_->defined_names())
    if (n.name == "Print_Area") ++count;
  if (from_gnumeric()) {
    EXPECT_EQ(count, 0u);
    return;
  }
  ASSERT_EQ(count, 1u);
  const DefinedName* name = find_name(*book_, "Print_Area");
  EXPECT_EQ(name->kind, Kind::Area);
  EXPECT_EQ(name->sheet, sheet_index(*book_, "Данные"));
  EXPECT_EQ(name->area, (CellArea{1, 1, 2, 2}));
}

TEST_P(BiffNames, ANamedAreaReadsAsItsCells) {
  const DefinedName* name = find_name(*book_, "Data_Adr");
  ASSERT_NE(name, nullptr);
  const CellGrid grid = book_->read_area(name->sheet, name->area);
  ASSERT_EQ(grid.rows, 3u);
  ASSERT_EQ(grid.cols, 3u);
  EXPECT_EQ(grid.at(0, 0), Value::text("ID_Element"));
  EXPECT_EQ(grid.at(1, 2), Value::text("0606024"));
  EXPECT_EQ(grid.at(2, 1), Value::text("Организация: "));
  EXPECT_EQ(grid.at(2, 2), Value::text("ООО «Ромашка»"));
}

INSTANTIATE_TEST_SUITE_P(Writers, BiffNames, testing::ValuesIn(kXlsOutputs), output_name);

}  // namespace
}  // namespace vers::engine
