// Tables read from form workbooks made by LibreOffice and Gnumeric.
#include "engine/table.h"

#include <gtest/gtest.h>

#include "engine/error.h"
#include "engine/workbook.h"
#include "value_printing.h"

namespace vers::engine {
namespace {

using Row = std::vector<Value>;

Value N(double v) { return Value::number(v); }
Value T(const char* v) { return Value::text(v); }
const Value kNull;

const char* const kFormats[] = {"sql_form.xls", "sql_form.gnumeric.xls", "sql_form.biff7.xls", "sql_form.ods",
                                "sql_form.xlsx"};

std::unique_ptr<Workbook> open_fixture(const std::string& name) {
  return open_workbook(std::string(VERS_FIXTURES_DIR) + "/" + name);
}

TEST(Table, DefinedNameOverAnArea) {
  for (const char* file : kFormats) {
    SCOPED_TRACE(file);
    auto workbook = open_fixture(file);
    Table t = load_table(*workbook, "data_adr");  // names ignore case
    EXPECT_EQ(t.name, "Data_Adr");
    EXPECT_EQ(t.columns, (std::vector<std::string>{"ID_Element", "Name", "Val"}));
    const std::vector<Row> expected = {
        {T("P_OKUD"), T("Код по ОКУД: "), T("0606024")},
        {T("P_FormName"), T("Наименование формы: "), T("Сведения о численности")},
        {T("P_Name"), T("Организация: "), T("ООО «Ромашка»")},
        {T("P_Year"), T("Отчётный год: "), N(2008)},
        {kNull, kNull, kNull},  // an empty row inside the area is a record
        {T("P_Note"), T("Примечание"), kNull},
    };
    EXPECT_EQ(t.rows, expected);
  }
}

TEST(Table, HeadersAndShapes) {
  struct Case {
    const char* name;
    std::vector<std::string> columns;
    size_t rows;
  };
  const std::vector<Case> cases = {
      {"Заголовки", {"2008", "F2", "Код строки"}, 1},  // a number header prints, an empty one is F<n>
      {"T_Empty", {"ID_Element", "Name", "Val"}, 0},
      {"Широкая", {"ID_Element", "Name", "Val"}, 2},   // B2:IV4 clipped to the data
      {"T_Check", {"ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result"}, 11},  // A1:F65536
      {"[Титул$]", {"Форма 0606024", "F2", "F3"}, 2},  // a whole sheet
      {"титул$", {"Форма 0606024", "F2", "F3"}, 2},
  };
  for (const char* file : kFormats) {
    auto workbook = open_fixture(file);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(file) + " " + c.name);
      Table t = load_table(*workbook, c.name);
      EXPECT_EQ(t.columns, c.columns);
      EXPECT_EQ(t.rows.size(), c.rows);
      for (std::span<const Value> row : t.rows) EXPECT_EQ(row.size(), c.columns.size());
    }
  }
}

TEST(Table, CellValuesOfChecks) {
  auto workbook = open_fixture("sql_form.xls");
  Table t = load_table(*workbook, "T_Check");
  auto result_of = [&](double section, double rule, double check) {
    for (std::span<const Value> row : t.rows) {
      if (row[1] == N(section) && row[2] == N(rule) && row[3] == N(check)) return row[5];
    }
    ADD_FAILURE() << "no check " << section << "." << rule << "." << check;
    return Value();
  };
  EXPECT_EQ(result_of(1, 1, 1), kNull);                   // empty cell
  EXPECT_EQ(result_of(1, 1, 3), kNull);                   // error value
  EXPECT_EQ(result_of(1, 1, 10), T("1"));                 // text
  EXPECT_EQ(result_of(1, 1, 5), Value::boolean(false));   // typed FALSE
  EXPECT_EQ(result_of(1, 1, 6), Value::boolean(true));    // typed TRUE
  EXPECT_EQ(result_of(1, 2, 2), N(0.5));
}

TEST(Table, FailuresNameTheTable) {
  struct Case {
    const char* name;
    const char* in_message;
  };
  const std::vector<Case> cases = {
      {"Нет_такой", "«Нет_такой»"},
      {"Константа", "«Константа»"},    // a constant
      {"Объединение", "«Объединение»"},  // several areas
      {"[Нет$]", "«Нет$»"},
      {"Огромная", "«Огромная»"},  // A1:IV65536 whose far corner holds a value
  };
  auto workbook = open_fixture("sql_form.xls");
  for (const Case& c : cases) {
    try {
      load_table(*workbook, c.name);
      ADD_FAILURE() << "loaded " << c.name;
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find(c.in_message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace vers::engine
