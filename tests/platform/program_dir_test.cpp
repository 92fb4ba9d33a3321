#include "platform/program_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vers::platform {
namespace {

// The test programs are built into the program directory of the build.
TEST(ProgramDirectoryTest, IsTheDirectoryOfTheRunningProgram) {
  const std::string dir = program_directory();
  EXPECT_EQ(std::filesystem::canonical(dir), std::filesystem::canonical(VERS_PROGRAM_DIR));
  EXPECT_NE(dir.back(), '/');
  EXPECT_EQ(program_file("Errors.txt"), dir + "/Errors.txt");
}

}  // namespace
}  // namespace vers::platform
