#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <filesystem>
#include <functional>

#include "verify/temp_dir.h"

namespace vers::platform {
namespace {

using testing::read_bytes;
using testing::TempDir;
using testing::write_bytes;

struct ErrorTextCase {
  int posix_error;
  bool directory_exists;
  const char* text;
};

class InOutErrorTextTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(InOutErrorTextTest, NamesTheCause) {
  EXPECT_EQ(in_out_error_text(GetParam().posix_error, GetParam().directory_exists), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Causes, InOutErrorTextTest,
                         ::testing::Values(ErrorTextCase{ENOENT, true, "File not found"},
                                           ErrorTextCase{ENOENT, false, "Invalid filename"},
                                           ErrorTextCase{ENOTDIR, true, "Invalid filename"},
                                           ErrorTextCase{EMFILE, true, "Too many open files"},
                                           ErrorTextCase{ENFILE, true, "Too many open files"},
                                           ErrorTextCase{EACCES, true, "File access denied"},
                                           ErrorTextCase{EPERM, true, "File access denied"},
                                           ErrorTextCase{EROFS, true, "File access denied"},
                                           ErrorTextCase{ENOSPC, true, "I/O error 28"},
                                           ErrorTextCase{EISDIR, true, "I/O error 21"},
                                           ErrorTextCase{EIO, true, "I/O error 5"}));

TEST(TextFileTest, WritesWindows1251LinesWithCrLfAndNoByteOrderMark) {
  TempDir dir;
  const std::string path = dir.file("out.txt");
  TextFile::create_empty(path);
  TextFile file;
  file.open_append(path);
  file.write("Файл: ");
  file.write("a€b");  // the euro sign is in windows-1251, the arrow is not
  file.write("→");
  file.end_line();
  file.end_line();
  file.close();
  EXPECT_EQ(read_bytes(path), "\xD4\xE0\xE9\xEB: a\x88" "b?\r\n\r\n");
}

TEST(TextFileTest, CreateEmptyTruncatesAndAppendingKeepsWhatIsThere) {
  TempDir dir;
  const std::string path = dir.file("out.txt");
  write_bytes(path, "old report\r\n");
  TextFile::create_empty(path);
  EXPECT_EQ(read_bytes(path), "");
  for (const char* line : {"one", "two"}) {
    TextFile file;
    file.open_append(path);
    file.write(line);
    file.end_line();
    file.close();
  }
  EXPECT_EQ(read_bytes(path), "one\r\ntwo\r\n");
}

// Each case sets up a situation in a fresh directory and runs the operation
// that must fail there.
struct FailureCase {
  const char* name;
  std::function<void(const TempDir&)> operation;
  int posix_error;
  const char* text;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class TextFileFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TextFileFailureTest, RaisesTheIoErrorOfTheCause) {
  TempDir dir;
  try {
    GetParam().operation(dir);
    FAIL() << "no failure";
  } catch (const InOutError& e) {
    EXPECT_EQ(e.posix_error(), GetParam().posix_error);
    EXPECT_STREQ(e.what(), GetParam().text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Causes, TextFileFailureTest,
    ::testing::Values(
        FailureCase{"AppendToMissingFile",
                    [](const TempDir& d) {
                      TextFile f;
                      f.open_append(d.file("Errors.txt"));
                    },
                    ENOENT, "File not found"},
        FailureCase{"AppendInMissingDirectory",
                    [](const TempDir& d) {
                      TextFile f;
                      f.open_append(d.file("gone/Errors.txt"));
                    },
                    ENOENT, "Invalid filename"},
        FailureCase{"CreateInMissingDirectory", [](const TempDir& d) { TextFile::create_empty(d.file("gone/Errors.txt")); },
                    ENOENT, "Invalid filename"},
        FailureCase{"CreateBelowAFile",
                    [](const TempDir& d) {
                      write_bytes(d.file("plain"), "x");
                      TextFile::create_empty(d.file("plain/Errors.txt"));
                    },
                    ENOTDIR, "Invalid filename"},
        FailureCase{"CreateOverADirectory",
                    [](const TempDir& d) {
                      std::filesystem::create_directory(d.file("Errors.txt"));
                      TextFile::create_empty(d.file("Errors.txt"));
                    },
                    EISDIR, "I/O error 21"},
        // sysfs lets nobody, root included, create a file.
        FailureCase{"CreateWhereNobodyMay", [](const TempDir&) { TextFile::create_empty("/sys/Errors.txt"); }, EACCES,
                    "File access denied"},
        FailureCase{"WriteToFullDisk",
                    [](const TempDir&) {
                      TextFile f;
                      f.open_append("/dev/full");
                      f.write("Файл: x");
                    },
                    ENOSPC, "I/O error 28"},
        FailureCase{"EndLineOnFullDisk",
                    [](const TempDir&) {
                      TextFile f;
                      f.open_append("/dev/full");
                      f.end_line();
                    },
                    ENOSPC, "I/O error 28"},
        FailureCase{"WriteWhenNotOpen",
                    [](const TempDir&) {
                      TextFile f;
                      f.write("x");
                    },
                    EBADF, "I/O error 9"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(TextFileTest, AppendingDoesNotCreateAMissingFile) {
  TempDir dir;
  TextFile f;
  EXPECT_THROW(f.open_append(dir.file("Errors.txt")), InOutError);
  EXPECT_FALSE(std::filesystem::exists(dir.file("Errors.txt")));
}

TEST(TextFileTest, TooManyOpenFilesLeavesTheOldFileAsItWas) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers' runtime opens a pipe to check memory it is unsure of;
  // with no descriptor left it reports a false error. The plain build runs
  // this case.
  GTEST_SKIP() << "needs a free descriptor under the sanitizers";
#endif
  TempDir dir;
  const std::string path = dir.file("Errors.txt");
  write_bytes(path, "old report\r\n");
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  // dup() gives the lowest free descriptor, so every one below it is in use:
  // a limit there lets the process keep what it has and open nothing more.
  const int lowest_free = dup(0);
  ASSERT_GE(lowest_free, 0);
  close(lowest_free);
  rlimit none = saved;
  none.rlim_cur = static_cast<rlim_t>(lowest_free);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  // The failure is looked at only once descriptors are back: the sanitizers'
  // own checks need one.
  std::exception_ptr failure;
  try {
    TextFile::create_empty(path);
  } catch (...) {
    failure = std::current_exception();
  }
  setrlimit(RLIMIT_NOFILE, &saved);
  int error = 0;
  std::string text;
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const InOutError& e) {
    error = e.posix_error();
    text = e.what();
  }
  EXPECT_EQ(error, EMFILE);
  EXPECT_EQ(text, "Too many open files");
  EXPECT_EQ(read_bytes(path), "old report\r\n");
}

}  // namespace
}  // namespace vers::platform
