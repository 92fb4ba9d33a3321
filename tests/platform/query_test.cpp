// The query's states and values, over a form workbook made by LibreOffice.
#include "platform/query.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/error.h"
#include "platform/connection.h"

namespace vers::platform {
namespace {

constexpr const char* kCodeQuery = "Select Val from Data_Adr Where ID_Element = 'P_OKUD'";
constexpr const char* kElementQuery = "Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr";
constexpr const char* kCheckQuery =
    "Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result from T_Check where Result>0 "
    "Order by ID_Form, ID_Section, ID_Rule, ID_Check";

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    connection_.set_connection_string("DSN=DataVELM;DBQ=" + std::string(VERS_FIXTURES_DIR) +
                                      "/sql_form.xls;DefaultDir=" + VERS_FIXTURES_DIR + ";");
    connection_.connect();
  }

  // The text of one column from the current row to the end.
  std::vector<std::string> rest(const char* column) {
    std::vector<std::string> seen;
    for (; !query_.eof(); query_.next()) seen.push_back(query_.field_text(column));
    return seen;
  }

  void expect_failure(const std::function<void()>& action, const std::string& in_message) {
    try {
      action();
      ADD_FAILURE() << "no failure; expected one naming " << in_message;
    } catch (const engine::EngineError& e) {
      EXPECT_NE(std::string(e.what()).find(in_message), std::string::npos) << e.what();
    }
  }

  Connection connection_;
  Query query_{connection_};
};

TEST_F(QueryTest, ClosedQuery) {
  EXPECT_FALSE(query_.active());
  EXPECT_TRUE(query_.is_empty());
  EXPECT_TRUE(query_.eof());
  EXPECT_TRUE(query_.column_names().empty());
  EXPECT_THROW(query_.field_text("Val"), engine::EngineError);
  EXPECT_THROW(query_.next(), engine::EngineError);
}

TEST_F(QueryTest, FormCode) {
  query_.set_sql(kCodeQuery);
  query_.open();
  EXPECT_TRUE(query_.active());
  EXPECT_FALSE(query_.is_empty());
  EXPECT_FALSE(query_.eof());
  EXPECT_EQ(query_.field_as_string("Val"), "0606024");
  EXPECT_EQ(query_.field_text("val"), "0606024");
  EXPECT_EQ(query_.field_text(size_t{0}), "0606024");
  query_.next();
  EXPECT_TRUE(query_.eof());
  query_.next();  // past the end stays there
  EXPECT_TRUE(query_.eof());
  EXPECT_EQ(query_.field_text("Val"), "");  // no current row
  expect_failure([&] { query_.field_as_string("Val"); }, "«Val»");
  expect_failure([&] { query_.field_text("Missing"); }, "«Missing»");
  EXPECT_THROW(query_.field_text(size_t{1}), engine::EngineError);
}

TEST_F(QueryTest, ValuesAsText) {
  struct Case {
    const char* element;
    const char* text;      // field_text
    const char* as_string; // field_as_string; nullptr: a failure
  };
  const std::vector<Case> cases = {
      {"P_OKUD", "0606024", "0606024"},
      {"P_Year", "2008", "2008"},  // a number in its printed form
      {"P_Note", "", nullptr},     // an empty cell is Null
      {"P_None", "", nullptr},     // no row at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    query_.set_sql(std::string("Select Val from Data_Adr where ID_Element = '") + c.element + "'");
    EXPECT_FALSE(query_.active());  // replacing the statement closes it
    query_.open();
    EXPECT_EQ(query_.field_text("Val"), c.text);
    if (c.as_string) {
      EXPECT_EQ(query_.field_as_string("Val"), c.as_string);
    } else {
      EXPECT_THROW(query_.field_as_string("Val"), engine::EngineError);
    }
  }
}

// The steps the report writer takes over the element query.
TEST_F(QueryTest, FilterOnAndOff) {
  query_.set_sql(kElementQuery);
  query_.open();
  ASSERT_FALSE(query_.is_empty());
  EXPECT_EQ(query_.column_names(), (std::vector<std::string>{"CaptionInForm", "ID_Element"}));

  query_.set_filtered(false);
  query_.set_filter(" ID_Element = 'P_FormName'");
  EXPECT_EQ(query_.field_text("ID_Element"), "P_OKUD");  // text alone changes nothing while off
  query_.set_filtered(true);
  EXPECT_EQ(query_.field_text("CaptionInForm"), "Наименование формы: Сведения о численности");

  query_.set_filtered(false);
  query_.set_filter(" ID_Element = 'P_Name'");
  query_.set_filtered(true);
  EXPECT_EQ(query_.field_text("CaptionInForm"), "Организация: ООО «Ромашка»");
  query_.next();
  EXPECT_TRUE(query_.eof());

  query_.set_filter(" ID_Element = 'P_Year'");  // changed while on: applies at once
  EXPECT_EQ(query_.field_text("CaptionInForm"), "Отчётный год: 2008");

  query_.set_filter(" ID_Element = 'P_Missing'");
  EXPECT_TRUE(query_.eof());
  EXPECT_FALSE(query_.is_empty());
  EXPECT_EQ(query_.field_text("CaptionInForm"), "");

  query_.set_filtered(false);
  query_.set_filter("");
  EXPECT_EQ(rest("ID_Element"), (std::vector<std::string>{"P_OKUD", "P_FormName", "P_Name", "P_Year", "", "P_Note"}));
}

TEST_F(QueryTest, FilterSwitchedOnBeforeOpenAppliesAtOpen) {
  query_.set_filter(" ID_Element = 'P_Name'");
  query_.set_filtered(true);
  query_.set_sql(kElementQuery);
  query_.open();
  EXPECT_EQ(rest("ID_Element"), (std::vector<std::string>{"P_Name"}));
}

TEST_F(QueryTest, BadFilterIsRefusedAndChangesNothing) {
  query_.set_sql(kElementQuery);
  query_.open();
  query_.set_filter(" ID_Element = 'P_Name'");
  query_.set_filtered(true);
  expect_failure([&] { query_.set_filter(" Missing = 1"); }, "«Missing»");
  expect_failure([&] { query_.set_filter(" ID_Element = "); }, "позиции");
  EXPECT_EQ(query_.filter(), " ID_Element = 'P_Name'");
  EXPECT_EQ(query_.field_text("ID_Element"), "P_Name");
}

TEST_F(QueryTest, FailedChecksInKeyOrder) {
  query_.set_sql(kCheckQuery);
  query_.open();
  EXPECT_EQ(rest("Name"), (std::vector<std::string>{
                              "Раздел 1, проверка 2: ИСТИНА",
                              "Раздел 1, проверка 6: ИСТИНА введена",
                              "Раздел 1, проверка 10: текст 1",
                              "Раздел 1, правило 2, проверка 2: дробь",
                              "Раздел 2: численность женщин больше общей",
                          }));
}

TEST_F(QueryTest, EmptyResult) {
  query_.set_sql("Select Name from T_Check where Result > 100");
  query_.open();
  EXPECT_TRUE(query_.active());
  EXPECT_TRUE(query_.is_empty());
  EXPECT_TRUE(query_.eof());
  EXPECT_EQ(query_.field_text("Name"), "");
  query_.close();
  query_.set_sql("select * from T_Empty");
  query_.open();
  EXPECT_TRUE(query_.is_empty());
  EXPECT_EQ(query_.column_names().size(), 3u);
}

TEST_F(QueryTest, OpenFailuresLeaveItClosed) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Select Val from Missing_Table", "«Missing_Table»"},
      {"Select Missing from Data_Adr", "«Missing»"},
      {"Select Val from Константа", "«Константа»"},
      {"Select Val frm Data_Adr", "позиции 12"},
      {"", "позиции 1"},
  };
  for (const auto& [sql, in_message] : cases) {
    query_.set_sql(sql);
    expect_failure([&] { query_.open(); }, in_message);
    EXPECT_FALSE(query_.active());
  }
  connection_.disconnect();
  query_.set_sql(kCodeQuery);
  EXPECT_THROW(query_.open(), engine::EngineError);
  EXPECT_FALSE(query_.active());
}

TEST_F(QueryTest, ResultOutlivesTheConnection) {
  query_.set_sql(kCodeQuery);
  query_.open();
  connection_.disconnect();
  EXPECT_EQ(query_.field_as_string("Val"), "0606024");

  connection_.connect();
  query_.set_sql(kElementQuery);
  query_.open();
  connection_.disconnect();
  // Its captions are joined when read, after the workbook is closed.
  query_.set_filter(" ID_Element = 'P_Name'");
  query_.set_filtered(true);
  EXPECT_EQ(query_.field_text("CaptionInForm"), "Организация: ООО «Ромашка»");
}

TEST_F(QueryTest, EachResultFindsItsColumnsAnew) {
  query_.set_sql("Select Name, Val from Data_Adr Where ID_Element = 'P_OKUD'");
  query_.open();
  const std::string name = query_.field_text("Name");
  EXPECT_EQ(query_.field_text("Val"), "0606024");
  query_.set_sql("Select Val, Name from Data_Adr Where ID_Element = 'P_OKUD'");
  query_.open();
  EXPECT_EQ(query_.field_text("Val"), "0606024");
  EXPECT_EQ(query_.field_text("NAME"), name);
  EXPECT_EQ(query_.field_text("Name"), name);
  query_.set_sql("Select Name from Data_Adr");
  query_.open();
  expect_failure([&] { query_.field_text("Val"); }, "«Val»");
}

}  // namespace
}  // namespace vers::platform
