// Stepping through a result with a current row and a record filter.
#include <gtest/gtest.h>

#include "engine/error.h"
#include "engine/statement/parser.h"
#include "engine/statement/row_cursor.h"
#include "value_printing.h"

namespace vers::engine {
namespace {

Table elements() {
  return Table{"Data_Adr",
               {"CaptionInForm", "ID_Element"},
               {
                   {Value::text("Код: 0606024"), Value::text("P_OKUD")},
                   {Value::text("Организация: Первая"), Value::text("P_Name")},
                   {Value::text("Форма: Пример"), Value::text("P_FormName")},
                   {Value::text("Организация: Вторая"), Value::text("P_Name")},
               }};
}

// The first column of every row from the current one to the end.
std::vector<std::string> walk(RowCursor& cursor) {
  std::vector<std::string> seen;
  while (!cursor.eof()) {
    seen.push_back(cursor.current()->at(0).as_text());
    cursor.next();
  }
  return seen;
}

TEST(RowCursor, FirstRowCurrentThenEndOfRows) {
  RowCursor cursor(elements());
  EXPECT_FALSE(cursor.is_empty());
  EXPECT_EQ(walk(cursor).size(), 4u);
  EXPECT_TRUE(cursor.eof());
  EXPECT_EQ(cursor.current(), nullptr);
  cursor.next();  // past the end stays there
  EXPECT_TRUE(cursor.eof());
}

TEST(RowCursor, EmptyResult) {
  RowCursor cursor(Table{"T", {"A"}, {}});
  EXPECT_TRUE(cursor.is_empty());
  EXPECT_TRUE(cursor.eof());
  EXPECT_EQ(cursor.current(), nullptr);
}

TEST(RowCursor, FilterOnOffMovesToFirstPassingRow) {
  struct Step {
    const char* filter;  // nullptr: filter off
    std::vector<std::string> rows;
  };
  const std::vector<Step> steps = {
      {" ID_Element = 'P_FormName'", {"Форма: Пример"}},
      {" ID_Element = 'P_Name'", {"Организация: Первая", "Организация: Вторая"}},
      {" ID_Element = 'P_Missing'", {}},
      {nullptr, {"Код: 0606024", "Организация: Первая", "Форма: Пример", "Организация: Вторая"}},
      {"", {"Код: 0606024", "Организация: Первая", "Форма: Пример", "Организация: Вторая"}},
  };
  RowCursor cursor(elements());
  for (const Step& step : steps) {
    SCOPED_TRACE(step.filter ? step.filter : "(off)");
    cursor.set_filter(step.filter ? parse_condition(step.filter) : std::nullopt);
    EXPECT_FALSE(cursor.is_empty());  // emptiness ignores the filter
    EXPECT_EQ(walk(cursor), step.rows);
  }
}

TEST(RowCursor, FilterOnMissingColumnLeavesCursorUnchanged) {
  RowCursor cursor(elements());
  cursor.set_filter(parse_condition("ID_Element = 'P_Name'"));
  cursor.next();
  EXPECT_THROW(cursor.set_filter(parse_condition("Missing = 1")), EngineError);
  ASSERT_FALSE(cursor.eof());
  EXPECT_EQ(cursor.current()->at(0).as_text(), "Организация: Вторая");
}

}  // namespace
}  // namespace vers::engine
