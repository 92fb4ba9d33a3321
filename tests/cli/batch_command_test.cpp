#include "cli/batch_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "verify/run_support.h"

namespace vers::cli {
namespace {

using testing::fixture;
using testing::read_bytes;
using testing::write_bytes;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

struct Bench {
  testing::TempDir dir;
  testing::RecordingShell shell;
  testing::TickingClock clock;
  std::string default_report = dir.file("Errors.txt");
  bool progress = false;

  Outcome run(const std::vector<std::string>& args) {
    BatchEnvironment env{shell, clock, testing::russian_time(), default_report, dir.path().string(), progress};
    std::ostringstream out, err;
    int status = run_batch_command(args, out, err, env);
    return {status, out.str(), err.str()};
  }
};

std::string summary(int documents, int passed, int failed, int unknown, const std::string& report) {
  return "ИТОГ\tдокументов: " + std::to_string(documents) + ", верно: " + std::to_string(passed) +
         ", с ошибками: " + std::to_string(failed) + ", неизвестных: " + std::to_string(unknown) +
         "\tотчёт: " + report + "\n";
}

struct DocumentsCase {
  const char* name;
  std::vector<std::string> files;  // fixtures
  int status;
  std::string lines;  // standard output before the summary; {N} stands for the N-th file's path
  int passed, failed, unknown;
};

void PrintTo(const DocumentsCase& c, std::ostream* os) { *os << c.name; }

std::string with_paths(std::string text, const std::vector<std::string>& files) {
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string mark = "{" + std::to_string(i) + "}";
    for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, mark.size(), fixture(files[i]));
  }
  return text;
}

class BatchDocumentsTest : public ::testing::TestWithParam<DocumentsCase> {};

TEST_P(BatchDocumentsTest, PrintsAnOutcomePerDocumentAndExitsByThem) {
  const DocumentsCase& c = GetParam();
  Bench bench;
  std::vector<std::string> args;
  for (const auto& f : c.files) args.push_back(fixture(f));
  Outcome o = bench.run(args);
  EXPECT_EQ(o.status, c.status);
  EXPECT_EQ(o.out, with_paths(c.lines, c.files) + summary(int(c.files.size()), c.passed, c.failed, c.unknown,
                                                          bench.default_report));
  EXPECT_EQ(o.err, "");
  EXPECT_TRUE(bench.shell.launched.empty());  // no --open
  EXPECT_EQ(read_bytes(bench.default_report).substr(0, 6), engine::encode_windows1251("Файл: "));
}

INSTANTIATE_TEST_SUITE_P(
    Documents, BatchDocumentsTest,
    ::testing::Values(
        DocumentsCase{"AllKnownAndClean",
                      {"form_known_clean.xls", "form_code_joined.ods"},
                      0,
                      "ВЕРНО\t{0}\tформа 0609552, ошибок не найдено\n"
                      "ВЕРНО\t{1}\tформа 0606024#0606021, ошибок не найдено\n",
                      2, 0, 0},
        DocumentsCase{"FailedChecks",
                      {"form_known_clean.xls", "form_known_errors.xlsx"},
                      1,
                      "ВЕРНО\t{0}\tформа 0609552, ошибок не найдено\n"
                      "ОШИБКИ\t{1}\tформа 0606024, не выполнено проверок: 6\n",
                      1, 1, 0},
        DocumentsCase{"UnknownCode",
                      {"form_code_number.xls"},
                      1,
                      "НЕИЗВЕСТЕН\t{0}\tкод формы «606024» не из списка известных форм\n",
                      0, 0, 1}),
    [](const ::testing::TestParamInfo<DocumentsCase>& info) { return info.param.name; });

TEST(BatchCommandTest, AnUnreadableDocumentIsUnknownWithTheReason) {
  Bench bench;
  const std::string missing = bench.dir.file("нет.xls");
  Outcome o = bench.run({missing});
  EXPECT_EQ(o.status, 1);
  const std::string start = "НЕИЗВЕСТЕН\t" + missing + "\tкод формы не прочитан: ";
  EXPECT_EQ(o.out.substr(0, start.size()), start);
  EXPECT_NE(o.out.find(summary(1, 0, 0, 1, bench.default_report)), std::string::npos);
  EXPECT_EQ(read_bytes(bench.default_report), testing::report_bytes({testing::unknown_block(missing, 0)}));
}

TEST(BatchCommandTest, NoDocumentShowsTheMessageAndLeavesTheReport) {
  for (std::vector<std::string> args : {std::vector<std::string>{}, {"--open"}, {"--report", "other.txt"}}) {
    Bench bench;
    write_bytes(bench.default_report, "old\r\n");
    Outcome o = bench.run(args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "Выберите документ для проверки.\n");
    EXPECT_EQ(read_bytes(bench.default_report), "old\r\n");
    EXPECT_FALSE(std::filesystem::exists(bench.dir.file("other.txt")));
    EXPECT_TRUE(bench.shell.launched.empty());
  }
}

TEST(BatchCommandTest, AFailureEndsTheRunWithItsTextAndAFullStop) {
  Bench bench;
  Outcome o = bench.run({fixture("form_known_clean.xls"), fixture("form_no_t_check.xls"),
                         fixture("form_known_errors.xls")});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "ВЕРНО\t" + fixture("form_known_clean.xls") + "\tформа 0609552, ошибок не найдено\n");
  ASSERT_FALSE(o.err.empty());
  EXPECT_NE(o.err.find("T_Check"), std::string::npos) << o.err;
  EXPECT_EQ(o.err.substr(o.err.size() - 2), ".\n");

  Bench unwritable;
  Outcome io = unwritable.run({"--report", "gone/Errors.txt", fixture("form_known_clean.xls")});
  EXPECT_EQ(io.status, 2);
  EXPECT_EQ(io.out, "");
  EXPECT_EQ(io.err, "Invalid filename.\n");
}

TEST(BatchCommandTest, PathsAreMadeAbsoluteAndNormalisedWithoutResolvingLinks) {
  Bench bench;
  std::filesystem::create_directories(bench.dir.path() / "Формы" / "2008");
  std::filesystem::copy_file(fixture("form_known_clean.xls"), bench.dir.path() / "Формы" / "2008" / "ф.xls");
  std::filesystem::create_directory_symlink(bench.dir.path() / "Формы", bench.dir.path() / "ссылка");
  const std::string base = bench.dir.path().string();
  Outcome o = bench.run({"./Формы/2008/../2008/ф.xls", "ссылка//2008/./ф.xls", "--report", "out/../отчёт.txt"});
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string report = base + "/отчёт.txt";
  EXPECT_EQ(o.out, "ВЕРНО\t" + base + "/Формы/2008/ф.xls\tформа 0609552, ошибок не найдено\n"
                   "ВЕРНО\t" + base + "/ссылка/2008/ф.xls\tформа 0609552, ошибок не найдено\n" +
                   summary(2, 2, 0, 0, report));
  const std::string text = read_bytes(report);
  EXPECT_EQ(text.find(engine::encode_windows1251("Файл: " + base + "/Формы/2008/ф.xls\r\n")), 0u);
  EXPECT_NE(text.find(engine::encode_windows1251("Файл: " + base + "/ссылка/2008/ф.xls\r\n")), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(bench.default_report));

  EXPECT_EQ(absolute_document_path("/a/./b/../c.xls", "/ignored"), "/a/c.xls");
  EXPECT_EQ(absolute_document_path("c.xls", "/w/d"), "/w/d/c.xls");
  EXPECT_EQ(absolute_document_path("../c.xls", "/w/d"), "/w/c.xls");
}

TEST(BatchCommandTest, OpensTheReportOnlyWhenAsked) {
  struct Case {
    std::vector<std::string> options;
    bool opened;
  } cases[] = {{{}, false}, {{"--open"}, true}};
  for (const Case& c : cases) {
    Bench bench;
    std::vector<std::string> args = c.options;
    args.push_back(fixture("form_known_clean.xls"));
    EXPECT_EQ(bench.run(args).status, 0);
    ASSERT_EQ(bench.shell.launched.size(), c.opened ? 1u : 0u);
    if (c.opened) EXPECT_EQ(bench.shell.launched[0].first, bench.default_report);
  }
}

TEST(BatchCommandTest, WrongCommandLinesExitWithTwo) {
  struct Case {
    std::vector<std::string> args;
    const char* err;
  } cases[] = {
      {{"--report"}, "После --report нужно имя файла отчёта.\n"},
      {{"--report=", "a.xls"}, "После --report нужно имя файла отчёта.\n"},
      {{"--verbose", "a.xls"}, "Неизвестный ключ «--verbose»; справка: vers-check --help.\n"},
  };
  for (const Case& c : cases) {
    Bench bench;
    Outcome o = bench.run(c.args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.out, "");
    EXPECT_FALSE(std::filesystem::exists(bench.default_report));
  }
}

TEST(BatchCommandTest, AfterTwoDashesEveryArgumentIsAPath) {
  Bench bench;
  Outcome o = bench.run({"--", "--open"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out.find("НЕИЗВЕСТЕН\t" + bench.dir.file("--open") + "\t"), 0u);
  EXPECT_TRUE(bench.shell.launched.empty());
}

TEST(BatchCommandTest, ShowsProgressOnlyWhenAsked) {
  for (bool progress : {false, true}) {
    Bench bench;
    bench.progress = progress;
    Outcome o = bench.run({fixture("form_known_clean.xls"), fixture("form_unknown_code.xls")});
    EXPECT_EQ(o.status, 1);
    if (progress) {
      EXPECT_NE(o.err.find("Проверка 2 из 2: " + fixture("form_unknown_code.xls")), std::string::npos);
      EXPECT_EQ(o.err.substr(o.err.size() - 4), "\r\033[K");  // the line is wiped at the end
    } else {
      EXPECT_EQ(o.err, "");
    }
  }
}

TEST(BatchCommandTest, HelpDescribesTheOptionsAndExitStatuses) {
  Bench bench;
  Outcome o = bench.run({"--help"});
  EXPECT_EQ(o.status, 0);
  for (const char* word : {"--report", "--open", "ВЕРНО", "ОШИБКИ", "НЕИЗВЕСТЕН", "ИТОГ", "Код выхода"})
    EXPECT_NE(o.out.find(word), std::string::npos) << word;
}

// The program itself: main hands every command line but --query and --help
// to the checker, and the report lands beside the program by default.
TEST(BatchProgramTest, RunsTheCheckerFromTheCommandLine) {
  const std::string program = std::string(VERS_PROGRAM_DIR) + "/vers-check";
  ASSERT_TRUE(std::filesystem::exists(program)) << "build the target vers-check first";
  testing::TempDir dir;
  struct Case {
    std::string args;
    int status;
    std::string out_start;
    std::string err;
  } cases[] = {
      {"--report " + dir.file("r.txt") + " " + fixture("form_known_clean.xls"), 0, "ВЕРНО\t", ""},
      {"--report=" + dir.file("r.txt") + " " + fixture("form_known_errors.xls"), 1, "ОШИБКИ\t", ""},
      {"", 2, "", "Выберите документ для проверки.\n"},
      {"--help", 0, "vers-check", ""},
  };
  for (const Case& c : cases) {
    const std::string out = dir.file("out"), err = dir.file("err");
    int raw = std::system((program + " " + c.args + " >" + out + " 2>" + err).c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status) << c.args;
    EXPECT_EQ(read_bytes(out).substr(0, c.out_start.size()), c.out_start) << c.args;
    EXPECT_EQ(read_bytes(err), c.err) << c.args;
  }
}

}  // namespace
}  // namespace vers::cli
