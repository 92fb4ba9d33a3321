// The statement dialect over tables built in memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/statement/evaluate.h"
#include "engine/statement/parser.h"
#include "value_printing.h"

namespace vers::engine {
namespace {

using Row = std::vector<Value>;

Value N(double v) { return Value::number(v); }
Value T(const char* v) { return Value::text(v); }
Value B(bool v) { return Value::boolean(v); }
const Value kNull;

Table data_adr() {
  return Table{"Data_Adr",
               {"ID_Element", "Name", "Val"},
               {
                   {T("P_OKUD"), T("Код формы: "), T("0606024")},
                   {T("P_FormName"), T("Наименование формы: "), T("Пример отчета")},
                   {T("P_Name"), T("Организация: "), kNull},
                   {T("P_Year"), kNull, N(2008)},
                   {kNull, kNull, kNull},
               }};
}

// The failed checks are listed out of order; only ORDER BY puts them right.
Table t_check() {
  return Table{"T_Check",
               {"ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result"},
               {
                   {N(1), N(2), N(1), N(1), T("2.1.1 number"), N(1)},
                   {N(1), N(1), N(2), N(1), T("1.2.1 text one"), T("1")},
                   {N(1), N(1), N(1), N(2), T("1.1.2 true"), B(true)},
                   {N(1), N(1), N(1), N(1), T("1.1.1 empty"), kNull},
                   {N(1), N(1), N(1), N(3), T("1.1.3 zero"), N(0)},
                   {N(1), N(3), N(1), N(1), T("3.1.1 negative"), N(-2)},
                   {N(1), N(1), N(3), N(1), T("1.3.1 word"), T("abc")},
                   {N(1), N(1), N(1), N(4), T("1.1.4 false"), B(false)},
                   {N(1), N(1), N(1), N(10), T("1.1.10 fraction"), N(0.5)},
                   {N(2), N(1), N(1), N(1), T("form 2"), N(3)},
               }};
}

Table run(std::string_view sql, const Table& table) { return run_statement(parse_statement(sql), table); }

std::vector<Value> column(const Table& t, size_t c) {
  std::vector<Value> out;
  for (std::span<const Value> row : t.rows) out.push_back(row[c]);
  return out;
}

struct StatementCase {
  const char* sql;
  std::vector<std::string> columns;
  std::vector<Row> rows;
};

void expect_result(const StatementCase& c, const Table& source) {
  SCOPED_TRACE(c.sql);
  Table result = run(c.sql, source);
  EXPECT_EQ(result.columns, c.columns);
  EXPECT_EQ(result.rows, c.rows);
}

TEST(Statement, FormCodeQuery) {
  expect_result({"Select Val from Data_Adr Where ID_Element = 'P_OKUD'", {"Val"}, {{T("0606024")}}}, data_adr());
}

TEST(Statement, ElementQueryJoinsNameAndValue) {
  expect_result({"Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr",
                 {"CaptionInForm", "ID_Element"},
                 {
                     {T("Код формы: 0606024"), T("P_OKUD")},
                     {T("Наименование формы: Пример отчета"), T("P_FormName")},
                     {T("Организация: "), T("P_Name")},
                     {T("2008"), T("P_Year")},
                     {kNull, kNull},
                 }},
                data_adr());
}

TEST(Statement, CheckQueryKeepsFailedChecksInKeyOrder) {
  Table result = run(
      "Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result from T_Check where Result>0 "
      "Order by ID_Form, ID_Section, ID_Rule, ID_Check",
      t_check());
  EXPECT_EQ(result.columns, (std::vector<std::string>{"ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result"}));
  EXPECT_EQ(column(result, 4), (std::vector<Value>{T("1.1.2 true"), T("1.1.10 fraction"), T("1.2.1 text one"),
                                                   T("2.1.1 number"), T("form 2")}));
}

TEST(Statement, GeneralForms) {
  const Table t = data_adr();
  const std::vector<StatementCase> cases = {
      // Keywords, names and text comparisons ignore case; blanks are free.
      {"select val FROM data_adr where id_element='p_okud'", {"Val"}, {{T("0606024")}}},
      {"  SELECT\tVal\nFROM [Data_Adr]   WHERE [ID_Element] = 'P_OKUD' ;  ", {"Val"}, {{T("0606024")}}},
      // A bare column keeps the table's spelling of its name.
      {"Select VAL from Data_Adr where ID_Element = 'P_Year'", {"Val"}, {{N(2008)}}},
      // Unnamed expressions are Expr1, Expr2 ...; '' is a quote.
      {"Select Val & '!', ID_Element, 'it''s' from Data_Adr where ID_Element = 'P_OKUD'",
       {"Expr1", "ID_Element", "Expr2"},
       {{T("0606024!"), T("P_OKUD"), T("it's")}}},
      // & prints numbers and Booleans; Null counts as empty text unless both are.
      {"Select Val & Name, 1.5 & '', TRUE & '', Name & Name from Data_Adr where ID_Element = 'P_Year'",
       {"Expr1", "Expr2", "Expr3", "Expr4"},
       {{T("2008"), T("1.5"), T("TRUE"), kNull}}},
      // AND, OR, NOT and parentheses.
      {"Select ID_Element from Data_Adr where ID_Element = 'P_OKUD' or (Val > 2000 and not Val > 3000)",
       {"ID_Element"},
       {{T("P_OKUD")}, {T("P_Year")}}},
      // NOT of a comparison with Null is not satisfied either.
      {"Select ID_Element from Data_Adr where not Val = 'x'", {"ID_Element"}, {{T("P_OKUD")}, {T("P_FormName")}}},
      {"Select ID_Element from Data_Adr where Val is null", {"ID_Element"}, {{T("P_Name")}, {kNull}}},
      {"Select ID_Element from Data_Adr where Name is not null and Val <> '0606024'",
       {"ID_Element"},
       {{T("P_FormName")}}},
      // ORDER BY an alias, descending, and by a column not selected.
      {"Select ID_Element as E from Data_Adr where Name is not null order by E desc",
       {"E"},
       {{T("P_OKUD")}, {T("P_Name")}, {T("P_FormName")}}},
      {"Select Name from Data_Adr where Val is not null order by Val",
       {"Name"},
       {{kNull}, {T("Код формы: ")}, {T("Наименование формы: ")}}},
      // ORDER BY a joined alias: the joined texts decide, Nulls first.
      {"Select ID_Element, Name & Val as C from Data_Adr order by C desc, ID_Element",
       {"ID_Element", "C"},
       {{T("P_Name"), T("Организация: ")},
        {T("P_FormName"), T("Наименование формы: Пример отчета")},
        {T("P_OKUD"), T("Код формы: 0606024")},
        {T("P_Year"), T("2008")},
        {kNull, kNull}}},
      {"Select * from Data_Adr where ID_Element = 'P_Name'",
       {"ID_Element", "Name", "Val"},
       {{T("P_Name"), T("Организация: "), kNull}}},
  };
  for (const StatementCase& c : cases) expect_result(c, t);
}

TEST(Statement, ColumnNamesWithBlanksAndCyrillic) {
  Table t{"Лист1$", {"Код строки", "Значение"}, {{T("01"), N(5)}, {T("02"), N(-1)}}};
  expect_result({"select [код строки] from [Лист1$] where ЗНАЧЕНИЕ > 0", {"Код строки"}, {{T("01")}}}, t);
}

TEST(Statement, OrderByIsStableWithNullsNumbersThenTexts) {
  Table t{"T", {"Key", "Seq"}, {{T("b"), N(1)}, {N(2), N(2)}, {kNull, N(3)}, {T("A"), N(4)}, {N(2), N(5)},
                                {kNull, N(6)}, {T("B"), N(7)}}};
  EXPECT_EQ(column(run("select Seq from T order by Key", t), 0),
            (std::vector<Value>{N(3), N(6), N(2), N(5), N(4), N(1), N(7)}));
  // Descending reverses the order of the keys, not of the ties.
  EXPECT_EQ(column(run("select Seq from T order by Key desc", t), 0),
            (std::vector<Value>{N(1), N(7), N(4), N(2), N(5), N(3), N(6)}));
}

TEST(Statement, MissingColumnNamesColumnAndTable) {
  const std::vector<const char*> cases = {
      "Select Missing from Data_Adr",
      "Select Val from Data_Adr where Missing = 1",
      "Select Val from Data_Adr order by Missing",
      "Select (Name & Missing) as X from Data_Adr",
  };
  for (const char* sql : cases) {
    try {
      run(sql, data_adr());
      ADD_FAILURE() << sql;
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find("«Missing»"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("«Data_Adr»"), std::string::npos) << e.what();
    }
  }
}

struct SyntaxCase {
  const char* sql;
  size_t position;
  const char* found;  // "" for the end of the text
};

TEST(Statement, SyntaxErrorsSayWhere) {
  const std::vector<SyntaxCase> cases = {
      {"Select Val Data_Adr", 12, "Data_Adr"},
      {"Select from Data_Adr", 8, "from"},
      {"Selec Val from Data_Adr", 1, "Selec"},
      {"Select Val, from T", 13, "from"},
      {"Select Val from T extra", 19, "extra"},
      {"Select Val from T where Val = = 1", 31, "="},
      {"Select Val from T where", 24, ""},
      {"Select Val from T Order ID", 25, "ID"},
      {"Select Val from T where ID = 'P_OKUD", 30, "'"},
      {"Select (Val from T", 13, "from"},
      {"Select Val from [T", 17, "["},
      {"Select Имя from T where Имя ! 1", 29, "!"},
      {"", 1, ""},
  };
  for (const SyntaxCase& c : cases) {
    try {
      parse_statement(c.sql);
      ADD_FAILURE() << "accepted: " << c.sql;
    } catch (const EngineError& e) {
      std::string message = e.what();
      EXPECT_NE(message.find("позиции " + std::to_string(c.position) + ":"), std::string::npos) << c.sql << "\n" << message;
      if (*c.found) {
        EXPECT_NE(message.find("найдено «" + std::string(c.found) + "»"), std::string::npos) << c.sql << "\n" << message;
      } else {
        EXPECT_NE(message.find("инструкция кончилась"), std::string::npos) << c.sql << "\n" << message;
      }
    }
  }
}

TEST(Statement, DeepExpressionsAreRefusedNotOverflowed) {
  auto nested = [](size_t levels) {
    return "Select " + std::string(levels, '(') + "Val" + std::string(levels, ')') + " from Data_Adr";
  };
  auto chain = [](size_t links) {
    std::string sql = "Select Val";
    for (size_t i = 0; i < links; ++i) sql += " & Val";
    return sql + " from Data_Adr";
  };
  auto negations = [](size_t count) {
    std::string sql = "Select Val from Data_Adr where ";
    for (size_t i = 0; i < count; ++i) sql += "not ";
    return sql + "Val = 1";
  };
  EXPECT_EQ(run(nested(50), data_adr()).rows.size(), 5u);
  EXPECT_EQ(run(chain(50), data_adr()).rows.size(), 5u);
  EXPECT_EQ(run(negations(50), data_adr()).rows.size(), 0u);
  for (const std::string& sql : {nested(100000), chain(100000), negations(100000)}) {
    EXPECT_THROW(parse_statement(sql), EngineError) << sql.substr(0, 40);
  }
}

TEST(Statement, Filters) {
  const Table t = data_adr();
  const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
      {" ID_Element = 'P_FormName'", {"P_FormName"}},
      {" ID_Element = 'P_Name'", {"P_Name"}},
      {"Val > 0", {"P_OKUD", "P_Year"}},
      {"", {"P_OKUD", "P_FormName", "P_Name", "P_Year", ""}},
      {"   ", {"P_OKUD", "P_FormName", "P_Name", "P_Year", ""}},
  };
  for (const auto& [text, expected] : cases) {
    std::optional<Expression> condition = parse_condition(text);
    std::vector<std::string> passing;
    if (condition) bind_columns(*condition, t);
    for (std::span<const Value> row : t.rows) {
      if (!condition || holds(*condition, row)) passing.push_back(to_text(row[0]));
    }
    EXPECT_EQ(passing, expected) << "filter \"" << text << "\"";
  }
  EXPECT_THROW(parse_condition(" ID_Element = "), EngineError);
  EXPECT_THROW(parse_condition("ID_Element = 'x' extra"), EngineError);
}

}  // namespace
}  // namespace vers::engine
