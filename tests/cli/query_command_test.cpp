// vers-check --query: in-process over the command's function, and once
// through the built program.
#include "cli/query_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

namespace vers::cli {
namespace {

const std::string kFixtures = VERS_FIXTURES_DIR;
const std::string kForm = kFixtures + "/sql_form.xls";

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome run(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = run_query_command(args, out, err);
  return {code, out.str(), err.str()};
}

struct OutputCase {
  std::string statement;
  std::string file;
  std::string expected;
};

TEST(QueryCommand, PrintsTabSeparatedRows) {
  const std::vector<OutputCase> cases = {
      {"Select Val from Data_Adr Where ID_Element = 'P_OKUD'", kForm, "Val\n0606024\n"},
      {"Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result from T_Check where Result>0 "
       "Order by ID_Form, ID_Section, ID_Rule, ID_Check",
       kForm,
       "ID_Form\tID_Section\tID_Rule\tID_Check\tName\tResult\n"
       "1\t1\t1\t2\tРаздел 1, проверка 2: ИСТИНА\t1\n"
       "1\t1\t1\t6\tРаздел 1, проверка 6: ИСТИНА введена\tTRUE\n"
       "1\t1\t1\t10\tРаздел 1, проверка 10: текст 1\t1\n"
       "1\t1\t2\t2\tРаздел 1, правило 2, проверка 2: дробь\t0.5\n"
       "1\t2\t1\t1\tРаздел 2: численность женщин больше общей\t1\n"},
      // Null prints as nothing: the empty record gives a line with one tab.
      {"Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr where ID_Element is null or Val is null",
       kForm, "CaptionInForm\tID_Element\n\t\nПримечание\tP_Note\n"},
      {"select Result from T_Check where ID_Check = 5", kForm, "Result\nFALSE\n"},
      {"select * from T_Empty", kForm, "ID_Element\tName\tVal\n"},
      // Tab, line feed and backslash are escaped.
      {"select Текст from Особые", kFixtures + "/sql_form.gnumeric.xls",
       "Текст\na\\tb\nстрока1\\nстрока2\nC:\\\\Формы\\\\\n"},
      // A relative path is taken from the working directory.
      {"Select Val from Data_Adr Where ID_Element = 'P_Year'",
       std::filesystem::relative(kForm, std::filesystem::current_path()).string(), "Val\n2008\n"},
  };
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.statement);
    Outcome o = run({c.statement, c.file});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, c.expected);
    EXPECT_EQ(o.err, "");
  }
}

TEST(QueryCommand, WorkbookInADirectoryWithSemicolonAndBraces) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("vers q;{x}} " + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(kForm, dir / "form;1.xls", std::filesystem::copy_options::overwrite_existing);
  Outcome o = run({"Select Val from Data_Adr Where ID_Element = 'P_OKUD'", (dir / "form;1.xls").string()});
  std::filesystem::remove_all(dir);
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.out, "Val\n0606024\n");
}

TEST(QueryCommand, FailuresGoToStandardError) {
  struct Case {
    std::vector<std::string> args;
    std::string in_message;
  };
  const std::vector<Case> cases = {
      {{"select * from Data_Adr", kFixtures + "/no_such_form.xls"}, "no_such_form.xls"},
      {{"select * from Нет_такой", kForm}, "«Нет_такой»"},
      {{"select Нет from T_Check", kForm}, "«Нет»"},
      {{"select * from Константа", kForm}, "«Константа»"},
      {{"select * frm T_Check", kForm}, "позиции 10"},
      {{"select * from T_Check"}, "vers-check --query"},
      {{"select * from T_Check", kForm, "extra"}, "vers-check --query"},
      {{"select * from T_Check", ""}, "файл"},
  };
  for (const Case& c : cases) {
    Outcome o = run(c.args);
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find(c.in_message), std::string::npos) << o.err;
    EXPECT_EQ(o.err.substr(o.err.size() - 2), ".\n") << o.err;  // the error box's full stop
  }
}

// Runs the built program through the shell; returns its exit code.
int run_program(const std::string& arguments, std::string& out) {
  std::string command = std::string(VERS_PROGRAM_DIR) + "/vers-check " + arguments + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(QueryCommand, TheProgram) {
  std::string help;
  EXPECT_EQ(run_program("--help", help), 0);
  EXPECT_NE(help.find("--query"), std::string::npos) << help;

  std::string rows;
  EXPECT_EQ(run_program("--query \"Select Val from Data_Adr Where ID_Element = 'P_OKUD'\" '" + kForm + "'", rows), 0);
  EXPECT_EQ(rows, "Val\n0606024\n");

  std::string nothing;
  EXPECT_EQ(run_program("--query \"Select Val from Missing\" '" + kForm + "'", nothing), 2);
  EXPECT_EQ(nothing, "");
}

}  // namespace
}  // namespace vers::cli
