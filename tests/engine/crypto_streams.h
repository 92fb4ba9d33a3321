// Workbook streams and records of the fixture files, for the decryption tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/biff/record_reader.h"
#include "engine/biff_fixture_files.h"
#include "engine/cfb/compound_file.h"

namespace vers::engine::crypto::testing {

// A copy of the workbook stream ("Workbook", or BIFF5's "Book") of a fixture.
inline std::vector<uint8_t> fixture_stream(const std::string& name) {
  const std::vector<uint8_t> file = read_fixture(name);
  cfb::CompoundFile container(file, name);
  for (const char* stream_name : {"Workbook", "Book"}) {
    if (auto stream = container.open_stream(stream_name)) {
      return {stream->bytes().begin(), stream->bytes().end()};
    }
  }
  ADD_FAILURE() << name << " has no workbook stream";
  return {};
}

struct RawRecord {
  uint16_t type = 0;
  std::vector<uint8_t> data;
  size_t offset = 0;
};

inline std::vector<RawRecord> records_of(std::span<const uint8_t> stream) {
  std::vector<RawRecord> out;
  const std::string book = "test";
  biff::RecordReader reader(stream, 0, book);
  biff::Record r;
  while (reader.next(r)) out.push_back({r.type, {r.data.begin(), r.data.end()}, r.offset});
  return out;
}

// The offset of the first record of that type, or SIZE_MAX.
inline size_t find_record(std::span<const uint8_t> stream, uint16_t type) {
  for (const RawRecord& r : records_of(stream)) {
    if (r.type == type) return r.offset;
  }
  return SIZE_MAX;
}

}  // namespace vers::engine::crypto::testing
