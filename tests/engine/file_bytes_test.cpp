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

// Pieces of a file gathered into one run hold the pieces' bytes end to end,
// whether the file is mapped or in memory, wherever the longest piece is and
// however its edges fall on pages; they outlive the file's owner.
TEST_F(FileBytesFiles, GatheredPiecesLieEndToEnd) {
  const std::vector<uint8_t> content = pattern(300'001);
  const std::string path = write("книга.xls", content);
  const std::vector<std::vector<FilePiece>> cases = {
      {{512, 60'000}, {100'352, 150'000}},                   // the longest last, off the pages' edges
      {{4'096, 120'000}, {200'000, 512}, {150'000, 4'000}},  // the longest first, on a page's edge
      {{7, 3}, {250'000, 50'001}, {1'000, 20'000}, {0, 1}},  // in the middle, up to the file's end
      {{10'000, 5'000}, {3, 900}},                           // too short to map
      {{123, 0}, {8'192, 65'536}},
      {},
  };
  for (bool mapped : {true, false}) {
    for (const std::vector<FilePiece>& pieces : cases) {
      SCOPED_TRACE(std::string(mapped ? "mapped, " : "in memory, ") + std::to_string(pieces.size()) + " pieces");
      std::vector<uint8_t> expected;
      for (const FilePiece& p : pieces)
        expected.insert(expected.end(), content.begin() + ptrdiff_t(p.offset),
                        content.begin() + ptrdiff_t(p.offset + p.length));
      GatheredBytes kept;
      {
        FileBytes file = mapped ? FileBytes::open(path) : FileBytes(content);
        GatheredBytes gathered = file.gather(pieces);
        EXPECT_EQ(as_vector(gathered.bytes()), expected);
        kept = std::move(gathered);
      }
      EXPECT_EQ(as_vector(kept.bytes()), expected);
    }
  }
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), content);
}

TEST_F(FileBytesFiles, APieceOutsideTheFileGathersNothing) {
  FileBytes mapped = FileBytes::open(write("книга.xls", pattern(50'000)));
  FileBytes in_memory(pattern(50'000));
  for (const FileBytes* file : {&mapped, &in_memory}) {
    const std::vector<FilePiece> past_end = {{0, 40'000}, {45'000, 5'001}};
    EXPECT_TRUE(file->gather(past_end).bytes().empty());
    const std::vector<FilePiece> after_end = {{50'001, 0}};
    EXPECT_TRUE(file->gather(after_end).bytes().empty());
  }
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
