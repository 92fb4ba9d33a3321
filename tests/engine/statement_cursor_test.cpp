// Stepping through a result with a current row and a record filter.
#include <gtest/gtest.h>

#include <memory>

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

// A result computes its columns when they are read; a filter may name one.
TEST(RowCursor, FiltersAndReadsTheColumnsOfAStatement) {
  auto table = std::make_shared<const Table>(Table{"Data_Adr",
                                                    {"ID_Element", "Name", "Val"},
                                                    {
                                                        {Value::text("P_OKUD"), Value::text("Код: "), Value::number(606024)},
                                                        {Value::text("P_Name"), Value::text("Организация: "), Value()},
                                                        {Value::text("P_Year"), Value(), Value::number(2008)},
                                                    }});
  RowCursor cursor(StatementResult(parse_statement("Select (Name &  Val) as Caption, ID_Element from Data_Adr "
                                                   "where ID_Element <> 'P_Year'"),
                                   table));
  EXPECT_EQ(cursor.result().columns(), (std::vector<std::string>{"Caption", "ID_Element"}));
  EXPECT_EQ(walk(cursor), (std::vector<std::string>{"Код: 606024", "Организация: "}));
  cursor.set_filter(parse_condition(" Caption = 'организация: '"));
  ASSERT_FALSE(cursor.eof());
  Value scratch;
  EXPECT_EQ(cursor.value(1, scratch).as_text(), "P_Name");
  EXPECT_EQ(*cursor.current(), (std::vector<Value>{Value::text("Организация: "), Value::text("P_Name")}));
  cursor.next();
  EXPECT_TRUE(cursor.eof());
  EXPECT_THROW(cursor.set_filter(parse_condition("Name = 'x'")), EngineError);  // not a column of the result
}

}  // namespace
}  // namespace vers::engine
