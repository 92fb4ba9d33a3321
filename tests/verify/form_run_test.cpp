#include "verify/form_run.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "engine/error.h"
#include "platform/text_file.h"
#include "verify/document_path.h"
#include "verify/run_support.h"

namespace vers::verify {
namespace {

using testing::fixture;
using testing::known_block;
using testing::read_bytes;
using testing::report_bytes;
using testing::RunBench;
using testing::unknown_block;
using testing::write_bytes;
using Kind = DocumentOutcome::Kind;

const std::string kTitle = "Наименование формы: Сведения о численности работников";
const std::string kOrganisation = "Организация: ООО «Ромашка»";
const std::string kNoErrors = "Ошибки в документе не найдены.";

// One ticked document in a list of its own.
struct DocumentCase {
  std::string name;
  std::string file;
  std::vector<std::string> body;  // lines between the date and completion lines; empty: unknown
  Kind kind;
  std::string code;
  size_t failed_checks;
};

void PrintTo(const DocumentCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> failed_checks_of_known_errors() {
  // Only ORDER BY ID_Form, ID_Section, ID_Rule, ID_Check (as numbers) gives
  // this order; the sheet holds the rows otherwise.
  return {kTitle,
          kOrganisation,
          "Раздел 1, строка 02: женщин больше общей численности",
          "Раздел 1: повтор",
          "Раздел 1: повтор",
          "Раздел 1, строка 01: численность не заполнена",
          "Раздел 2, строка 03: моложе 30 лет больше общей численности",
          ""};
}

class SingleDocumentTest : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(SingleDocumentTest, WritesTheDocumentsReportBlock) {
  const DocumentCase& c = GetParam();
  RunBench bench;
  std::string path = c.file;
  if (c.file == "not-a-workbook") {
    path = bench.dir.file("notes.xls");
    write_bytes(path, "Это не книга, а заметки.\n");
  } else if (c.file == "missing") {
    path = bench.dir.file("missing.xls");
  }
  testing::RecordingObserver observer;
  EXPECT_EQ(bench.run.VerifyDocuments(DocumentItems({{path, true}}), &observer), RunEnd::Completed);

  const auto block = c.kind == Kind::Known ? known_block(path, 0, c.body) : unknown_block(path, 0);
  EXPECT_EQ(read_bytes(bench.report), report_bytes({block}));
  ASSERT_EQ(observer.reported.size(), 1u);
  EXPECT_EQ(observer.reported[0].kind, c.kind);
  EXPECT_EQ(observer.reported[0].code, c.code);
  EXPECT_EQ(observer.reported[0].failed_checks, c.failed_checks);
  EXPECT_EQ(observer.reported[0].path, path);
  EXPECT_EQ(observer.reported[0].failure.empty(), c.kind != Kind::CodeUnread);
  EXPECT_TRUE(bench.boxes.shown.empty());
  ASSERT_EQ(bench.shell.launched.size(), 1u);
  EXPECT_EQ(bench.shell.launched[0].first, bench.report);
  EXPECT_EQ(bench.shell.launched[0].second, platform::ShowMode::Normal);
  EXPECT_FALSE(bench.run.connection().connected());
  EXPECT_FALSE(bench.run.query().active());
  EXPECT_EQ(bench.run.form_file_path(), path);
}

std::vector<DocumentCase> document_cases() {
  std::vector<DocumentCase> cases = {
      {"KnownWithFailedChecks", fixture("form_known_errors.xls"), failed_checks_of_known_errors(), Kind::Known,
       "0606024", 6},
      {"KnownWithoutFailedChecks", fixture("form_known_clean.xls"),
       {"Наименование формы: Сведения о деятельности", kOrganisation, kNoErrors}, Kind::Known, "0609552", 0},
      {"CodeNotListed", fixture("form_unknown_code.xls"), {}, Kind::CodeNotAccepted, "0606025", 0},
      {"CodeAsNumber", fixture("form_code_number.xls"), {}, Kind::CodeNotAccepted, "606024", 0},
      {"CodeWithTrailingBlank", fixture("form_code_blank.xls"), {}, Kind::CodeNotAccepted, "0606024 ", 0},
      {"TwoCodesInListOrder", fixture("form_code_joined.xls"), {kTitle, kOrganisation, kNoErrors}, Kind::Known,
       "0606024#0606021", 0},
      {"TwoCodesReversed", fixture("form_code_joined_reverse.xls"), {}, Kind::CodeNotAccepted, "0606021#0606024", 0},
      {"SeveralCodeAndNameRows", fixture("form_several_okud.xls"), {kTitle, "Организация: ООО «Первая»", kNoErrors},
       Kind::Known, "0606021", 0},
      {"NoFormNameRow", fixture("form_no_formname.xls"), {"", kOrganisation, kNoErrors}, Kind::Known, "0606020", 0},
      {"NullNamesAndValues", fixture("form_null_names.xls"),
       {"", "Без подписи", "Раздел 1, строка 02: женщин больше общей численности"}, Kind::Known, "0606026", 1},
      {"EmptyDataAdr", fixture("form_empty_data_adr.xls"), {}, Kind::CodeUnread, "", 0},
      {"NoDataAdr", fixture("form_no_data_adr.xls"), {}, Kind::CodeUnread, "", 0},
      {"MissingFile", "missing", {}, Kind::CodeUnread, "", 0},
      {"NotAWorkbook", "not-a-workbook", {}, Kind::CodeUnread, "", 0},
  };
  // The same form as every writer of workbooks saves it.
  for (const char* format : {"ods", "xlsx", "gnumeric.xls", "biff7.xls"}) {
    std::string name = std::string("KnownWithFailedChecks_") + format;
    for (char& ch : name)
      if (ch == '.') ch = '_';
    cases.push_back({name, fixture(std::string("form_known_errors.") + format),
                     failed_checks_of_known_errors(), Kind::Known, "0606024", 6});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Documents, SingleDocumentTest, ::testing::ValuesIn(document_cases()),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

TEST(FormRunTest, WalksTheTickedItemsInOrderIntoTheEmptiedReport) {
  RunBench bench;
  write_bytes(bench.report, "the report of an earlier run\r\n");
  const std::string missing = bench.dir.file("нет такого.xls");
  DocumentItems list({{fixture("form_known_errors.xls"), true},
                      {fixture("form_known_clean.xls"), false},
                      {missing, true},
                      {fixture("form_unknown_code.xls"), true},
                      {fixture("form_known_clean.xls"), true}});
  testing::RecordingObserver observer;
  ASSERT_EQ(bench.run.VerifyDocuments(list, &observer), RunEnd::Completed);

  EXPECT_EQ(read_bytes(bench.report),
            report_bytes({known_block(fixture("form_known_errors.xls"), 0, failed_checks_of_known_errors()),
                          unknown_block(missing, 2), unknown_block(fixture("form_unknown_code.xls"), 4),
                          known_block(fixture("form_known_clean.xls"), 6,
                                      {"Наименование формы: Сведения о деятельности", kOrganisation, kNoErrors})}));
  EXPECT_EQ(observer.started, (std::vector<size_t>{0, 2, 3, 4}));
  EXPECT_TRUE(bench.boxes.shown.empty());
  EXPECT_EQ(bench.shell.launched.size(), 1u);
  // The last document's path stays; the fields of the last opening too.
  EXPECT_EQ(bench.run.form_file_path(), fixture("form_known_clean.xls"));
  EXPECT_EQ(bench.run.form_file_name(), "form_known_clean.xls");
}

TEST(FormRunTest, NothingTickedShowsTheMessageOnceAndTouchesNothing) {
  struct Case {
    const char* name;
    std::vector<DocumentItem> items;
  } cases[] = {
      {"empty list", {}},
      {"nothing ticked", {{fixture("form_known_clean.xls"), false}, {fixture("form_known_errors.xls"), false}}},
  };
  for (const Case& c : cases) {
    RunBench bench;
    write_bytes(bench.report, "old\r\n");
    testing::RecordingObserver observer;
    EXPECT_EQ(bench.run.VerifyDocuments(DocumentItems(c.items), &observer), RunEnd::NothingToVerify) << c.name;
    ASSERT_EQ(bench.boxes.shown.size(), 1u) << c.name;
    EXPECT_EQ(bench.boxes.shown[0].kind, testing::BoxShown::Kind::Information);
    EXPECT_EQ(bench.boxes.shown[0].text, "Выберите документ для проверки.");
    EXPECT_EQ(read_bytes(bench.report), "old\r\n") << c.name;
    EXPECT_TRUE(bench.shell.launched.empty()) << c.name;
    EXPECT_TRUE(observer.started.empty()) << c.name;
    EXPECT_EQ(bench.clock.readings(), 0) << c.name;
  }
}

TEST(FormRunTest, OnlyTheLastItemTicked) {
  RunBench bench;
  DocumentItems list({{fixture("form_known_errors.xls"), false}, {fixture("form_unknown_code.xls"), true}});
  EXPECT_EQ(bench.run.VerifyDocuments(list), RunEnd::Completed);
  EXPECT_EQ(read_bytes(bench.report), report_bytes({unknown_block(fixture("form_unknown_code.xls"), 0)}));
  EXPECT_TRUE(bench.boxes.shown.empty());
  EXPECT_EQ(bench.shell.launched.size(), 1u);
}

// A statement the workbook cannot answer ends the run inside the writer:
// the earlier block is complete, the broken one stops where it failed, the
// later document is never opened and the report is not handed to the shell.
TEST(FormRunTest, AFailureOfTheWriterEndsTheRunWithEarlierBlocksComplete) {
  RunBench bench;
  DocumentItems list({{fixture("form_known_clean.xls"), true},
                      {fixture("form_no_t_check.xls"), true},
                      {fixture("form_known_errors.xls"), true}});
  testing::RecordingObserver observer;
  EXPECT_THROW(bench.run.VerifyDocuments(list, &observer), engine::EngineError);

  std::vector<std::string> broken = {"Файл: " + fixture("form_no_t_check.xls"), "Дата: 05.03.2008   09:05:09",
                                     kTitle, kOrganisation};
  EXPECT_EQ(read_bytes(bench.report),
            report_bytes({known_block(fixture("form_known_clean.xls"), 0,
                                      {"Наименование формы: Сведения о деятельности", kOrganisation, kNoErrors}),
                          broken}));
  EXPECT_EQ(observer.started, (std::vector<size_t>{0, 1}));
  EXPECT_EQ(observer.reported.size(), 1u);
  EXPECT_TRUE(bench.shell.launched.empty());
  EXPECT_TRUE(bench.boxes.shown.empty());

  // The connection is left as the failure found it; the next run starts clean.
  EXPECT_TRUE(bench.run.connection().connected());
  EXPECT_EQ(bench.run.VerifyDocuments(DocumentItems({{fixture("form_unknown_code.xls"), true}})), RunEnd::Completed);
  EXPECT_EQ(read_bytes(bench.report), report_bytes({unknown_block(fixture("form_unknown_code.xls"), 3)}));
  EXPECT_FALSE(bench.run.connection().connected());
}

struct IoFailureCase {
  const char* name;
  std::string report_name;       // inside the test's directory, or an absolute path
  std::string old_report;        // what stands in the file before the run; "-": no file,
                                 // "<directory>": a directory in its place
  bool remove_after_first;       // the report is removed once the first block is in
  std::string text;              // of the InOutError
  size_t blocks_reported;        // documents that reached the observer
  bool report_exists_afterwards;
  bool old_report_survives;
};

void PrintTo(const IoFailureCase& c, std::ostream* os) { *os << c.name; }

class ReportFailureTest : public ::testing::TestWithParam<IoFailureCase> {};

TEST_P(ReportFailureTest, EndsTheRunAndLeavesWhatWasWritten) {
  const IoFailureCase& c = GetParam();
  testing::TempDir dir;
  testing::RecordingBoxes boxes;
  testing::RecordingShell shell;
  testing::TickingClock clock;
  const std::string report = c.report_name.front() == '/' ? c.report_name : dir.file(c.report_name);
  if (c.old_report == "<directory>")
    std::filesystem::create_directory(report);
  else if (c.old_report != "-")
    write_bytes(report, c.old_report);
  FormRun run(boxes, shell, clock, testing::russian_time(), report);
  testing::RecordingObserver observer;
  observer.after_report = [&](const DocumentOutcome&) {
    if (c.remove_after_first) std::filesystem::remove(report);
  };
  DocumentItems list({{fixture("form_unknown_code.xls"), true}, {fixture("form_known_clean.xls"), true}});
  try {
    run.VerifyDocuments(list, &observer);
    FAIL() << "the run did not fail";
  } catch (const platform::InOutError& e) {
    EXPECT_EQ(e.what(), c.text);
  }
  EXPECT_EQ(observer.reported.size(), c.blocks_reported);
  EXPECT_EQ(std::filesystem::exists(report), c.report_exists_afterwards);
  if (c.old_report_survives) EXPECT_EQ(read_bytes(report), c.old_report);
  EXPECT_TRUE(shell.launched.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ReportFailureTest,
    ::testing::Values(
        IoFailureCase{"ReportRemovedDuringTheRun", "Errors.txt", "-", true, "File not found", 1, false, false},
        IoFailureCase{"DirectoryMissing", "gone/Errors.txt", "-", false, "Invalid filename", 0, false, false},
        IoFailureCase{"DirectoryNobodyMayWrite", "/sys/Errors.txt", "-", false, "File access denied", 0, false, false},
        IoFailureCase{"ReportIsADirectory", "Errors.txt", "<directory>", false, "I/O error 21", 0, true, false}),
    [](const ::testing::TestParamInfo<IoFailureCase>& info) { return info.param.name; });

// Makes the report read-only for this process. Root ignores permission
// bits, so as root the directory becomes a read-only bind mount inside a
// mount namespace of the process's own, which ends with the process.
bool make_report_read_only(const std::string& dir, const std::string& report) {
  if (geteuid() != 0) return ::chmod(report.c_str(), 0444) == 0;
  return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
         ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

TEST(FormRunTest, AReadOnlyReportAtTheFirstCallIsDeniedAndKeepsTheOldReport) {
  RunBench bench;
  write_bytes(bench.report, "old report\r\n");
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  // The run goes on in a child, so that the mount namespace stays its own.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipe_fds[0]);
    std::string said = "could not make the report read-only";
    if (make_report_read_only(bench.dir.path().string(), bench.report)) {
      try {
        bench.run.VerifyDocuments(DocumentItems({{fixture("form_known_clean.xls"), true}}));
        said = "the run did not fail";
      } catch (const platform::InOutError& e) {
        said = e.what();
      }
    }
    ssize_t ignored = ::write(pipe_fds[1], said.data(), said.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string said;
  char buf[256];
  for (ssize_t n; (n = ::read(pipe_fds[0], buf, sizeof buf)) > 0;) said.append(buf, size_t(n));
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(said, "File access denied");
  EXPECT_EQ(read_bytes(bench.report), "old report\r\n");
}

TEST(FormRunTest, ConnectToFormKeepsThePathsPartsAndTheConnectionString) {
  testing::TempDir dir;
  const std::string real = std::filesystem::canonical(dir.path()).string();
  std::filesystem::create_directories(dir.path() / "Отчёты; {2008}");
  std::filesystem::copy_file(fixture("form_known_clean.xls"), dir.path() / "Отчёты; {2008}" / "форма:1.xls");
  std::filesystem::copy_file(fixture("form_known_clean.xls"), dir.path() / "plain.xls");
  struct Case {
    std::string path;
    bool connects;
    std::string file_name;
    std::string dir_short;
    std::string conn_string;
  } cases[] = {
      {dir.file("plain.xls"), true, "plain.xls", real,
       "DSN=DataVELM;DBQ=" + real + "/plain.xls;DefaultDir=" + real + ";"},
      // A ';' or a brace in the path is enclosed in braces, so the document
      // still opens; a ':' is part of the file name.
      {dir.file("Отчёты; {2008}/форма:1.xls"), true, "форма:1.xls", real + "/Отчёты; {2008}",
       "DSN=DataVELM;DBQ={" + real + "/Отчёты; {2008}}/форма:1.xls};DefaultDir={" + real + "/Отчёты; {2008}}};"},
      {dir.file("missing.xls"), false, "", "", ""},
      {dir.file("no such dir/plain.xls"), false, "", "", ""},
  };
  RunBench bench;
  for (const Case& c : cases) {
    EXPECT_EQ(bench.run.ConnectToForm(c.path), c.connects) << c.path;
    EXPECT_EQ(bench.run.connection().connected(), c.connects) << c.path;
    EXPECT_EQ(bench.run.form_file_name(), c.file_name) << c.path;
    EXPECT_EQ(bench.run.form_dir_short(), c.dir_short) << c.path;
    EXPECT_EQ(bench.run.form_conn_string(), c.conn_string) << c.path;
  }
}

TEST(DocumentPathTest, SplitsAtTheLastSlash) {
  struct Case {
    std::string path, directory, file_name;
  } cases[] = {
      {"/home/u/Отчёты/report_03.xls", "/home/u/Отчёты", "report_03.xls"},
      {"/report.xls", "/", "report.xls"},
      {"//report.xls", "//", "report.xls"},
      {"/d//report.xls", "/d//", "report.xls"},
      {"report.xls", "", "report.xls"},
      {"D:report.xls", "", "D:report.xls"},
      {"/d/a:b/c:d.xls", "/d/a:b", "c:d.xls"},
      {"/d/", "/d", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    DocumentPathParts parts = split_document_path(c.path);
    EXPECT_EQ(parts.directory, c.directory) << c.path;
    EXPECT_EQ(parts.file_name, c.file_name) << c.path;
  }
}

TEST(FormIdCheckTest, AcceptsACodeFramedByHashesInTheList) {
  struct Case {
    const char* code;
    bool accepted;
  } cases[] = {
      {"0606024", true},  {"0000002", true},          {"0609546", true},           {"0606021#0606020", true},
      {"606024", false},  {"0606025", false},         {"0606024 ", false},         {" 0606024", false},
      {"", false},        {"0606021#0606024", false}, {"#0606024", false},         {"060602", false},
      {"0", false},       {"0606024#", false},
  };
  for (const Case& c : cases) EXPECT_EQ(FormRun::Form_ID_Check(c.code), c.accepted) << '"' << c.code << '"';
}

// The writer called directly, on a connected workbook, with code texts the
// run never passes.
TEST(VerificationTest, TheCodeTextChoosesTheBranchByByteOrder) {
  struct Case {
    std::string code;
    bool known;
  } cases[] = {{"", false}, {"0", false}, {" 0606024", false}, {"-1", false}, {"00", true}, {"1", true},
               {"0606024", true}};
  for (const Case& c : cases) {
    RunBench bench;
    ASSERT_TRUE(bench.run.ConnectToForm(fixture("form_known_clean.xls")));
    bench.run.query().set_sql("Select Val from Data_Adr Where ID_Element = 'P_OKUD'");
    bench.run.query().open();
    bench.run.Verification(true, c.code);
    const std::string path = bench.run.form_file_path();  // empty: the run did not set it
    const auto block =
        c.known ? known_block(path, 0, {"Наименование формы: Сведения о деятельности", kOrganisation, kNoErrors})
                : unknown_block(path, 0);
    EXPECT_EQ(read_bytes(bench.report), report_bytes({block})) << '"' << c.code << '"';
    if (c.known) {
      EXPECT_FALSE(bench.run.query().active());
      EXPECT_EQ(bench.run.query().sql(), "");
      EXPECT_FALSE(bench.run.query().filtered());
      EXPECT_EQ(bench.run.query().filter(), "");
    } else {  // the query is not touched
      EXPECT_TRUE(bench.run.query().active());
      EXPECT_EQ(bench.run.query().sql(), "Select Val from Data_Adr Where ID_Element = 'P_OKUD'");
    }
  }
}

TEST(VerificationTest, AnElementTableWithoutRowsGivesNeitherTitleNorOrganisation) {
  RunBench bench;
  ASSERT_TRUE(bench.run.ConnectToForm(fixture("form_empty_data_adr.xls")));
  bench.run.Verification(true, "0606024");
  EXPECT_EQ(read_bytes(bench.report), report_bytes({known_block("", 0, {kNoErrors})}));
}

TEST(VerificationTest, ALaterCallAppendsAndNeverCreates) {
  RunBench bench;
  ASSERT_TRUE(bench.run.ConnectToForm(fixture("form_known_clean.xls")));
  EXPECT_THROW(bench.run.Verification(false, ""), platform::InOutError);
  EXPECT_FALSE(std::filesystem::exists(bench.report));
  write_bytes(bench.report, "block 1\r\n");
  bench.run.Verification(false, "");
  EXPECT_EQ(read_bytes(bench.report), "block 1\r\n" + report_bytes({unknown_block("", 0)}));
}

}  // namespace
}  // namespace vers::verify
