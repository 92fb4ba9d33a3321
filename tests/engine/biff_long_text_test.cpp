// Texts that cross record boundaries, read from the .xls outputs of
// engine_biff_long.fods.
#include <gtest/gtest.h>

#include <string>

#include "engine/biff_fixture_files.h"
#include "engine/value_printing.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

const std::string kPhrase = "съешь же ещё этих мягких французских булок, да выпей чаю;";

std::string line(int n) {
  std::string text = "Строка " + std::to_string(n) + ": " + kPhrase;
  for (int i = 0; i < 3; ++i) text += " " + kPhrase;
  return text;
}

std::string repeated(const std::string& s, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

const std::string kLongText =
    "Latin part " + repeated("x", 3000) + " | Кириллица " + repeated("Ж", 3000) + " | end " + repeated("y", 3000);

class BiffLongText : public testing::TestWithParam<XlsOutput> {
 protected:
  void SetUp() override { book_ = open_workbook(fixture_path(std::string("engine_biff_long") + GetParam().suffix)); }
  std::unique_ptr<Workbook> book_;
};

TEST_P(BiffLongText, ReadsEveryTextOfALargeStringTable) {
  const CellGrid grid = book_->read_area(0, CellArea{0, 0, 59, 1});
  for (int n = 1; n <= 60; ++n) EXPECT_EQ(grid.at(n - 1, 0), Value::text(line(n))) << "row " << n;
  EXPECT_EQ(grid.at(0, 1), Value::text(kPhrase));
}

TEST_P(BiffLongText, ReadsATextLongerThanARecord) {
  const CellGrid grid = book_->read_area(0, CellArea{60, 0, 60, 0});
  // BIFF8 keeps it in the string table, BIFF7 in a LABEL record; both
  // run on through CONTINUE records.
  EXPECT_EQ(grid.at(0, 0), Value::text(kLongText));
}

INSTANTIATE_TEST_SUITE_P(Writers, BiffLongText, testing::ValuesIn(kXlsOutputs), output_name);

}  // namespace
}  // namespace vers::engine
