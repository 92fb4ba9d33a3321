#include "platform/short_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "verify/temp_dir.h"

namespace vers::platform {
namespace {

TEST(ShortDirectoryTest, StandsInTheCanonicalPathOfAnExistingDirectory) {
  testing::TempDir dir;
  const std::string real = std::filesystem::canonical(dir.path()).string();
  std::filesystem::create_directory(dir.path() / "Отчёты; 2008");
  std::filesystem::create_directory_symlink(dir.path() / "Отчёты; 2008", dir.path() / "link");
  testing::write_bytes(dir.file("file.xls"), "x");

  struct Case {
    std::string dir;
    std::string expected;
  } cases[] = {
      {dir.path().string(), real},
      {dir.path().string() + "/", real},
      {dir.path().string() + "/./Отчёты; 2008/..", real},
      {dir.path().string() + "/Отчёты; 2008", real + "/Отчёты; 2008"},
      {dir.path().string() + "/link", real + "/Отчёты; 2008"},
      {"/", "/"},
      {dir.path().string() + "/missing", ""},
      {dir.path().string() + "/file.xls", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(short_directory(c.dir), c.expected) << c.dir;
}

}  // namespace
}  // namespace vers::platform
