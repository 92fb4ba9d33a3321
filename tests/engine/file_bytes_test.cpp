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

// Small files are read, larger ones mapped: either way every byte is there.
TEST_F(FileBytesFiles, ARegularFileGivesAllItsBytes) {
  const size_t sizes[] = {1, 511, 512, 513, FileBytes::kMapFrom - 1, FileBytes::kMapFrom, 200'003};
  for (size_t size : sizes) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> content = pattern(size);
    EXPECT_EQ(as_vector(FileBytes::open(write("книга.xls", content)).bytes()), content);
  }
}

// A range copied out of the file holds the file's bytes, whether the file is
// mapped or in memory; a range that reaches past the end gives nothing.
TEST_F(FileBytesFiles, ARangeIsCopiedOutOfTheFile) {
  const std::vector<uint8_t> content = pattern(300'001);
  FileBytes mapped = FileBytes::open(write("книга.xls", content));
  FileBytes in_memory(content);
  struct Case {
    size_t offset, length;
    bool there;
  };
  const Case cases[] = {
      {0, 1, true},       {4'095, 2, true},       {100'000, 150'000, true}, {0, 300'001, true},
      {300'001, 0, true}, {300'000, 2, false},    {300'002, 0, false},      {5, 300'000, false},
  };
  for (const FileBytes* file : {&mapped, &in_memory}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.length));
      std::vector<uint8_t> out(c.there ? c.length : 4, 0xAA);
      const bool read = file->read_at(c.offset, c.there ? std::span<uint8_t>(out) : std::span<uint8_t>(out.data(), c.length));
      EXPECT_EQ(read, c.there);
      if (c.there)
        EXPECT_TRUE(std::equal(out.begin(), out.end(), content.begin() + ptrdiff_t(c.offset)));
      else
        EXPECT_EQ(out, std::vector<uint8_t>(4, 0xAA));
    }
  }
}

// A mapped file cut short by another program: the lost bytes are not
// there to copy, which is said, rather than a fault of the process.
TEST_F(FileBytesFiles, ARangeLostSinceTheFileWasOpenedIsNotCopied) {
  const std::string path = write("книга.xls", pattern(200'000));
  FileBytes file = FileBytes::open(path);
  fs::resize_file(path, 100'000);
  std::vector<uint8_t> out(1'000);
  EXPECT_TRUE(file.read_at(50'000, out));
  EXPECT_FALSE(file.read_at(150'000, out));
  EXPECT_FALSE(file.read_at(99'500, out));
}

TEST_F(FileBytesFiles, APipeIsReadToItsEnd) {
  const std::vector<uint8_t> content = pattern(300'000);  // more than one read's chunk
  const std::string path = pipe_with("труба", content);
  FileBytes file = FileBytes::open(path);
  writer_.join();
  EXPECT_EQ(as_vector(file.bytes()), content);
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
