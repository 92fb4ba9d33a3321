// The bytes of a file as the readers get them: mapped from a regular file,
// read into memory from what cannot be mapped.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "engine/biff_fixture_files.h"
#include "engine/error.h"
#include "engine/file_bytes.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

namespace fs = std::filesystem;

class FileBytesFiles : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vers_file_bytes_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string& name, const std::vector<uint8_t>& content) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(content.data()), content.size());
    return path.string();
  }
  // A named pipe that a writer thread fills with content once it is opened.
  std::string pipe_with(const std::string& name, const std::vector<uint8_t>& content) {
    const fs::path path = dir_ / name;
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    writer_ = std::thread([path, content] {
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(content.data()), content.size());
    });
    return path.string();
  }
  fs::path dir_;
  std::thread writer_;
};

std::vector<uint8_t> pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

std::vector<uint8_t> as_vector(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

TEST_F(FileBytesFiles, ARegularFileGivesAllItsBytesAndIsNeverWrittenTo) {
  const std::vector<uint8_t> content = pattern(200'003);  // not a whole number of pages
  const std::string path = write("книга.xls", content);
  {
    FileBytes file = FileBytes::open(path);
    EXPECT_EQ(as_vector(file.bytes()), content);
    const uint8_t* address = file.bytes().data();
    // Two ranges made writable, neither on a page boundary; the second
    // reaches the file's last, partial page.
    const std::span<uint8_t> head = file.writable(5'000, 10'000);
    ASSERT_EQ(head.size(), content.size());
    EXPECT_EQ(head.data(), address);
    const std::span<uint8_t> tail = file.writable(150'000, content.size() - 150'000);
    ASSERT_EQ(tail.data(), address);
    // The copies hold the file's bytes, also where the pages reach past
    // the ranges.
    EXPECT_EQ(as_vector(file.bytes()), content);
    head[5'000] ^= 0xFF;
    head[14'999] ^= 0xFF;
    tail[content.size() - 1] ^= 0xFF;
    std::vector<uint8_t> changed = content;
    changed[5'000] ^= 0xFF;
    changed[14'999] ^= 0xFF;
    changed[content.size() - 1] ^= 0xFF;
    EXPECT_EQ(as_vector(file.bytes()), changed);
  }
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), content);
}

TEST_F(FileBytesFiles, ARangeOutsideTheBytesIsNotMadeWritable) {
  FileBytes mapped = FileBytes::open(write("книга.xls", pattern(5000)));
  FileBytes in_memory(pattern(5000));
  for (FileBytes* file : {&mapped, &in_memory}) {
    EXPECT_TRUE(file->writable(4'000, 1'001).empty());
    EXPECT_TRUE(file->writable(5'001, 0).empty());
    EXPECT_EQ(file->writable(0, 5'000).size(), 5'000u);
    EXPECT_EQ(as_vector(file->bytes()), pattern(5000));
  }
}

TEST_F(FileBytesFiles, APipeIsReadToItsEnd) {
  const std::vector<uint8_t> content = pattern(300'000);  // more than one read's chunk
  const std::string path = pipe_with("труба", content);
  FileBytes file = FileBytes::open(path);
  writer_.join();
  EXPECT_EQ(as_vector(file.bytes()), content);
  EXPECT_EQ(file.writable(0, content.size()).size(), content.size());
}

TEST_F(FileBytesFiles, AnEmptyFileGivesNoBytes) {
  EXPECT_TRUE(FileBytes::open(write("пустая.xls", {})).bytes().empty());
}

TEST_F(FileBytesFiles, MovingTheOwnerKeepsTheBytesWhereTheyAre) {
  FileBytes mapped = FileBytes::open(write("книга.xls", pattern(5000)));
  FileBytes in_memory(pattern(5000));
  for (FileBytes* original : {&mapped, &in_memory}) {
    const uint8_t* address = original->bytes().data();
    FileBytes moved(std::move(*original));
    EXPECT_EQ(moved.bytes().data(), address);
    EXPECT_EQ(as_vector(moved.bytes()), pattern(5000));
    FileBytes assigned(std::vector<uint8_t>{1, 2, 3});
    assigned = std::move(moved);
    EXPECT_EQ(assigned.bytes().data(), address);
  }
}

TEST_F(FileBytesFiles, AWorkbookOpensFromAPipe) {
  const std::string path = pipe_with("книга.xls", read_fixture("engine_biff_values.xls"));
  auto book = open_workbook(path);
  writer_.join();
  EXPECT_EQ(book->sheet_names().size(), 3u);
}

}  // namespace
}  // namespace vers::engine
