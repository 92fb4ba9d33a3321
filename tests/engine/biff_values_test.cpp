// Cell values read from the .xls outputs of engine_biff_values.fods, which
// every test here checks against what that source says.
#include <gtest/gtest.h>

#include <string>

#include "engine/biff_fixture_files.h"
#include "engine/error.h"
#include "engine/value_printing.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

class BiffValues : public testing::TestWithParam<XlsOutput> {
 protected:
  void SetUp() override { book_ = open_workbook(fixture_path(std::string("engine_biff_values") + GetParam().suffix)); }
  std::unique_ptr<Workbook> book_;
};

TEST_P(BiffValues, ListsEverySheetInOrderHiddenOnesToo) {
  EXPECT_EQ(book_->sheet_names(), (std::vector<std::string>{"Значения", "Скрытый", "Пустой"}));
}

TEST_P(BiffValues, UsedAreaStartsWhereTheDataDoes) {
  // B3:F21 in the source: the first row and column are empty.
  EXPECT_EQ(book_->used_area(0), (CellArea{2, 1, 20, 5}));
  EXPECT_EQ(book_->used_area(1), (CellArea{0, 0, 1, 0}));
  EXPECT_EQ(book_->used_area(2), std::nullopt);
}

TEST_P(BiffValues, ReadsEveryKindOfValue) {
  struct Case {
    uint32_t row;  // 0-based row of column C
    Value expected;
  };
  const Case cases[] = {
      {2, Value::text("Значение")},
      {3, Value::number(606024)},
      {4, Value::number(-17)},
      {5, Value::number(0.1)},
      {6, Value::number(12.34)},
      {7, Value::number(12345678901234)},
      {8, Value::number(-1.5e-7)},
      {9, Value::number(45366)},  // 15.03.2024 is a number of days
      {10, Value::text("Привет, мир")},
      {11, Value::text("Hello")},
      {12, Value::boolean(true)},
      {13, Value::boolean(false)},
      {14, Value()},
      {15, Value::number(1212048)},
      {16, Value::text("Привет, мир!")},
      {17, Value::boolean(true)},
      {18, Value()},  // #DIV/0!
      {19, Value::text("")},
      {20, Value::text("abcdef")},
  };
  const CellGrid grid = book_->read_area(0, CellArea{0, 2, 20, 2});
  ASSERT_EQ(grid.rows, 21u);
  ASSERT_EQ(grid.cols, 1u);
  for (const Case& c : cases) EXPECT_EQ(grid.at(c.row, 0), c.expected) << "row " << c.row + 1;
}

TEST_P(BiffValues, FormulaGroupsKeepTheirOwnResults) {
  // E4:F6 are copies of one formula each: shared formulas in the file.
  const CellGrid grid = book_->read_area(0, CellArea{3, 4, 5, 5});
  EXPECT_EQ(grid.at(0, 0), Value::number(606025));
  EXPECT_EQ(grid.at(1, 0), Value::number(-16));
  EXPECT_EQ(grid.at(2, 0), Value::number(1.1));
  EXPECT_EQ(grid.at(0, 1), Value::text("целое:"));
  EXPECT_EQ(grid.at(1, 1), Value::text("отрицательное:"));
  EXPECT_EQ(grid.at(2, 1), Value::text("дробь:"));
}

TEST_P(BiffValues, ReadsOnlyTheRequestedArea) {
  const CellGrid grid = book_->read_area(0, CellArea{3, 1, 4, 2});
  ASSERT_EQ(grid.cells.size(), 4u);
  EXPECT_EQ(grid.at(0, 0), Value::text("целое"));
  EXPECT_EQ(grid.at(0, 1), Value::number(606024));
  EXPECT_EQ(grid.at(1, 0), Value::text("отрицательное"));
  EXPECT_EQ(grid.at(1, 1), Value::number(-17));
}

TEST_P(BiffValues, CellsPastTheUsedAreaAreNull) {
  const CellGrid grid = book_->read_area(1, CellArea{0, 0, 3, 2});
  EXPECT_EQ(grid.at(0, 0), Value::text("секрет"));
  EXPECT_EQ(grid.at(1, 0), Value::number(42));
  for (uint32_t r = 0; r < 4; ++r) {
    for (uint32_t c = 0; c < 3; ++c) {
      if (c > 0 || r > 1) EXPECT_TRUE(grid.at(r, c).is_null()) << r << "," << c;
    }
  }
  const CellGrid empty = book_->read_area(2, CellArea{0, 0, 1, 1});
  for (const Value& v : empty.cells) EXPECT_TRUE(v.is_null());
}

TEST_P(BiffValues, UsedAreaIsTheSameBeforeAndAfterReading) {
  const std::optional<CellArea> before = book_->used_area(0);
  book_->read_area(0, CellArea{5, 2, 6, 2});
  EXPECT_EQ(book_->used_area(0), before);
  auto fresh = open_workbook(fixture_path(std::string("engine_biff_values") + GetParam().suffix));
  fresh->read_area(0, CellArea{5, 2, 6, 2});  // first touch of the sheet
  EXPECT_EQ(fresh->used_area(0), before);
}

TEST_P(BiffValues, RefusesAnAreaTooLargeToHold) {
  // A whole sheet is 65536 rows by 256 columns: 16.7 million cells.
  EXPECT_THROW(book_->read_area(0, CellArea{0, 0, 65535, 255}), EngineError);
  EXPECT_THROW(book_->read_area(0, CellArea{0, 0, 15625, 255}), EngineError);  // 4,000,256
  EXPECT_THROW(book_->read_area(0, CellArea{0, 0, UINT32_MAX, 0}), EngineError);  // 2^32 rows
  EXPECT_THROW(book_->read_area(0, CellArea{5, 0, 4, 0}), EngineError);           // inside out
  const CellGrid columns = book_->read_area(0, CellArea{0, 1, 65535, 2});
  EXPECT_EQ(columns.at(3, 1), Value::number(606024));
}

TEST_P(BiffValues, RefusesASheetThatDoesNotExist) {
  EXPECT_THROW(book_->used_area(3), EngineError);
  EXPECT_THROW(book_->read_area(3, CellArea{0, 0, 0, 0}), EngineError);
}

INSTANTIATE_TEST_SUITE_P(Writers, BiffValues, testing::ValuesIn(kXlsOutputs), output_name);

}  // namespace
}  // namespace vers::engine
