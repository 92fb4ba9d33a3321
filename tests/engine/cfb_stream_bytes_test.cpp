// A stream read from its file as its parts are asked for: what is loaded
// holds the pieces' bytes end to end, whatever the order of the loads.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/cfb/stream_bytes.h"
#include "engine/file_bytes.h"

namespace vers::engine::cfb {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + i / 509);
  return bytes;
}

class StreamBytesFile : public testing::Test {
 protected:
  void SetUp() override {
    path_ = fs::temp_directory_path() / ("vers_stream_bytes_" + std::to_string(::getpid()) + ".xls");
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(content_.data()), static_cast<std::streamsize>(content_.size()));
  }
  void TearDown() override { fs::remove(path_); }

  const std::vector<uint8_t> content_ = pattern(400'000);
  fs::path path_;
};

TEST_F(StreamBytesFile, LoadedPartsHoldThePiecesEndToEnd) {
  // Pieces out of order, of odd lengths, one of them empty, one running to
  // the file's end; loads that cross pieces and the reader's chunks, that
  // repeat and that overlap.
  const std::vector<FilePiece> pieces = {{200'000, 70'001}, {512, 100'000}, {7, 0}, {399'000, 1'000}, {3, 5}};
  std::vector<uint8_t> expected;
  for (const FilePiece& p : pieces)
    expected.insert(expected.end(), content_.begin() + ptrdiff_t(p.offset),
                    content_.begin() + ptrdiff_t(p.offset + p.length));
  const std::vector<std::pair<size_t, size_t>> loads = {
      {70'000, 70'002}, {0, 4}, {65'530, 140'000}, {169'990, 171'006}, {171'000, 171'006}, {100'000, 66'000},
      {170'000, 999'999}, {0, 171'006}};
  // A process lays its first stream of a mapped file over the mapping, and
  // copies later ones into a buffer it keeps: mapped twice, both are seen.
  for (const bool mapped : {true, true, false}) {
    SCOPED_TRACE(mapped ? "mapped" : "in memory");
    StreamBytes stream(mapped ? FileBytes::open(path_.string()) : FileBytes(content_), pieces);
    ASSERT_EQ(stream.bytes().size(), expected.size());
    const uint8_t* const address = stream.bytes().data();
    for (const auto& [from, to] : loads) {
      SCOPED_TRACE(std::to_string(from) + ".." + std::to_string(to));
      ASSERT_TRUE(stream.load(from, to));
      const size_t end = std::min(to, expected.size());
      if (from < end)
        EXPECT_TRUE(std::equal(stream.bytes().begin() + ptrdiff_t(from), stream.bytes().begin() + ptrdiff_t(end),
                               expected.begin() + ptrdiff_t(from)));
    }
    const StreamBytes moved = std::move(stream);
    EXPECT_EQ(moved.bytes().data(), address);
    EXPECT_TRUE(std::equal(moved.bytes().begin(), moved.bytes().end(), expected.begin()));
  }
}

TEST_F(StreamBytesFile, APartLostSinceTheFileWasOpenedDoesNotLoad) {
  StreamBytes stream(FileBytes::open(path_.string()), {{0, 100'000}, {300'000, 100'000}});
  ASSERT_TRUE(stream.load(0, 10));
  fs::resize_file(path_, 350'000);
  EXPECT_TRUE(stream.load(90'000, 110'000));
  EXPECT_FALSE(stream.load(150'000, 200'000));
}

}  // namespace
}  // namespace vers::engine::cfb
