// Opening a file: recognising its format by content, and the failures
// before any format is read.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/biff_fixture_files.h"
#include "engine/error.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

namespace fs = std::filesystem;

std::string failure_of(const std::function<void()>& open) {
  try {
    open();
  } catch (const EngineError& e) {
    return e.what();
  }
  return "no failure";
}

class OpenWorkbookFiles : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vers_open_workbook_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string& name, const std::string& content) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  fs::path dir_;
};

TEST_F(OpenWorkbookFiles, FailuresNameTheFileAndSayWhy) {
  struct Case {
    const char* what;
    std::string path;
    const char* message_part;
  };
  const Case cases[] = {
      {"missing", (dir_ / "нет такой.xls").string(), "не найден"},
      {"empty", write("пустая.xls", ""), "пуст"},
      {"a folder", dir_.string(), "папка"},
      {"plain text", write("текст.xls", "ID_Element;Name;Val\r\n"), "не является книгой Excel"},
  };
  for (const Case& c : cases) {
    const std::string message = failure_of([&] { open_workbook(c.path); });
    EXPECT_NE(message.find("«" + c.path + "»"), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
  }
}

TEST(OpenWorkbookBytes, RecognisesTheFormatByContentNotByName) {
  // A BIFF8 workbook opens under any name.
  auto book = open_workbook_bytes(read_fixture("engine_biff_values.xls"), "отчёт.txt");
  EXPECT_EQ(book->sheet_names().size(), 3u);

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* message_part;
  };
  const Case cases[] = {
      {"an Excel 2.1 BOF", {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00}, "Excel 2.x–4.0"},
      {"an Excel 4.0 BOF", {0x09, 0x04, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00}, "Excel 2.x–4.0"},
      {"random bytes", {0x01, 0x02, 0x03, 0x04, 0x05}, "не является книгой Excel"},
  };
  for (const Case& c : cases) {
    const std::string message = failure_of([&] { open_workbook_bytes(c.bytes, "старая.xls"); });
    EXPECT_NE(message.find("«старая.xls»"), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
  }
}

TEST(OpenWorkbookBytes, APasswordProtectedWorkbookSaysSo) {
  // Encrypted under a password of the user's, by each method there is.
  for (const char* file : {"crypt_poi_rc4_secret.xls", "crypt_poi_cryptoapi_secret.xls", "crypt_poi_xor_secret.xls"}) {
    const std::string message = failure_of([&] { open_workbook(fixture_path(file)); });
    EXPECT_NE(message.find("Книга «" + fixture_path(file) + "» защищена паролем"), std::string::npos)
        << file << ": " << message;
  }
}

}  // namespace
}  // namespace vers::engine
