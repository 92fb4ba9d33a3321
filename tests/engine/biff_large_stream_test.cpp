// A workbook stream many times larger than one read from its file: the
// globals, and each sheet, span several reads, and a check reads only the
// sheets it asks for. Made from a real fixture by padding its globals and
// its sheets with records that no reader knows, which every reader skips.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/biff_fixture_files.h"
#include "engine/cfb/compound_file.h"
#include "engine/cfb/little_endian.h"
#include "engine/cfb_patching.h"
#include "engine/error.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

namespace fs = std::filesystem;

constexpr uint16_t kBof = 0x0809, kEof = 0x000A, kBoundSheet = 0x0085;
constexpr uint16_t kUnknownRecord = 0x7FFF;

void put_u32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(v >> (8 * i));
}

void append_padding(std::vector<uint8_t>& out, size_t bytes) {
  for (size_t done = 0; done < bytes; done += 8'000) {
    const uint8_t header[4] = {uint8_t(kUnknownRecord), uint8_t(kUnknownRecord >> 8), uint8_t(8'000 & 0xFF),
                               uint8_t(8'000 >> 8)};
    out.insert(out.end(), header, header + 4);
    out.insert(out.end(), 8'000, uint8_t(done / 8'000 * 37));
  }
}

// The stream with about padding bytes of unknown records before the globals'
// EOF and after each sheet's BOF; the sheets' stated offsets follow them.
std::vector<uint8_t> padded_stream(const std::vector<uint8_t>& stream, size_t padding) {
  std::vector<uint8_t> out;
  std::vector<size_t> bound_sheets;  // offsets in out of BOUNDSHEET data
  std::vector<std::pair<uint32_t, uint32_t>> moved;  // a sheet's BOF: old offset, new offset
  bool in_globals = true;
  for (size_t at = 0; at + 4 <= stream.size();) {
    const uint16_t type = read_u16(&stream[at]);
    const size_t length = read_u16(&stream[at + 2]);
    if (type == kEof && in_globals) {
      append_padding(out, padding);
      in_globals = false;
    }
    if (type == kBof && at > 0) moved.emplace_back(uint32_t(at), uint32_t(out.size()));
    if (type == kBoundSheet) bound_sheets.push_back(out.size() + 4);
    out.insert(out.end(), stream.begin() + ptrdiff_t(at), stream.begin() + ptrdiff_t(at + 4 + length));
    if (type == kBof && at > 0) append_padding(out, padding);
    at += 4 + length;
  }
  for (const size_t data : bound_sheets) {
    const uint32_t old_offset = read_u32(&out[data]);
    for (const auto& [from, to] : moved)
      if (from == old_offset) put_u32(out, data, to);
  }
  return out;
}

// The fixture's workbook stream, as the container reader gives it.
std::vector<uint8_t> workbook_stream(const std::vector<uint8_t>& fixture) {
  cfb::CompoundFile container(fixture, "книга.xls");
  const std::optional<cfb::StreamBytes> stream = container.open_stream("Workbook");
  EXPECT_TRUE(stream);
  return stream ? std::vector<uint8_t>(stream->bytes().begin(), stream->bytes().end()) : std::vector<uint8_t>();
}

void expect_same_cells(Workbook& book, Workbook& reference) {
  ASSERT_EQ(book.sheet_names(), reference.sheet_names());
  EXPECT_EQ(book.defined_names().size(), reference.defined_names().size());
  // Last sheet first: each sheet is read on its own, in any order.
  for (size_t sheet = reference.sheet_names().size(); sheet-- > 0;) {
    SCOPED_TRACE(reference.sheet_names()[sheet]);
    EXPECT_EQ(book.used_area(sheet), reference.used_area(sheet));
    const CellArea area{0, 0, 40, 10};
    EXPECT_EQ(book.read_area(sheet, area).cells, reference.read_area(sheet, area).cells);
  }
}

class BiffLargeStream : public testing::TestWithParam<const char*> {
 protected:
  void TearDown() override { fs::remove(path_); }
  std::string write(const std::vector<uint8_t>& bytes) {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path_.string();
  }
  fs::path path_ = fs::temp_directory_path() / ("vers_large_stream_" + std::to_string(::getpid()) + ".xls");
};

TEST_P(BiffLargeStream, ReadsAsTheFixtureDoes) {
  const std::vector<uint8_t> fixture = read_fixture(GetParam());
  const std::unique_ptr<Workbook> reference = open_workbook_bytes(fixture, "книга.xls");
  const std::vector<uint8_t> stream = workbook_stream(fixture);
  const std::vector<uint8_t> padded = padded_stream(stream, 300'000);
  ASSERT_GT(padded.size(), stream.size() + 600'000);

  for (const bool in_container : {true, false}) {
    SCOPED_TRACE(in_container ? "in a container" : "a bare stream");
    const std::vector<uint8_t> file = in_container ? version4_file("Workbook", padded) : padded;
    const std::unique_ptr<Workbook> from_file = open_workbook(write(file));
    expect_same_cells(*from_file, *reference);
    const std::unique_ptr<Workbook> from_memory = open_workbook_bytes(file, "книга.xls");
    expect_same_cells(*from_memory, *reference);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BiffLargeStream,
                         testing::Values("engine_biff_names.xls", "engine_biff_long.xls", "engine_biff_values.xls"));

// A sheet whose part of the file is lost after the workbook was opened (the
// file was cut short by another program): a clear failure when it is read,
// once the process copies what it reads. (The first workbook of a process
// is read through the file's mapping, where the system stops the process
// instead, as for any mapping of a file cut short.)
TEST_F(BiffLargeStream, ASheetLostSinceTheOpenFailsWithAMessage) {
  const std::vector<uint8_t> stream =
      padded_stream(workbook_stream(read_fixture("engine_biff_names.xls")), 300'000);
  const std::string path = write(stream);
  open_workbook(path)->used_area(0);  // the process's first workbook, if no test read one before
  const std::unique_ptr<Workbook> book = open_workbook(path);
  fs::resize_file(path, stream.size() - 100'000);
  const size_t last = book->sheet_names().size() - 1;
  try {
    book->used_area(last);
    FAIL() << "read a sheet that is not in the file";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("Не удалось прочитать файл"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace vers::engine
