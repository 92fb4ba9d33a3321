// Byte-level patching of the records of a real .xls fixture, for the tests
// of damaged and unusual records.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/biff_fixture_files.h"
#include "engine/cfb_patching.h"

namespace vers::engine {

// A fixture whose workbook stream lies in one run of sectors, so that its
// records can be patched in place.
class PatchableWorkbook : public PatchableCompoundFile {
 public:
  explicit PatchableWorkbook(const std::string& fixture) : PatchableCompoundFile(read_fixture(fixture)) {
    name_ = has_entry("Workbook") ? "Workbook" : "Book";
    const std::vector<uint32_t> sectors = chain(stream_start(name_));
    for (size_t i = 1; i < sectors.size(); ++i) EXPECT_EQ(sectors[i], sectors[i - 1] + 1) << "not contiguous";
    stream_ = sector_offset(sectors.front());
    stream_end_ = stream_ + stream_size(name_);
  }

  // The file offset of the data of the nth record of that type.
  size_t record(uint16_t type, int nth = 0) const {
    for (size_t at = stream_; at + 4 <= stream_end_; at += 4 + u16(at + 2))
      if (u16(at) == type && nth-- == 0) return at + 4;
    ADD_FAILURE() << "no record " << type;
    return 0;
  }
  // The file offsets of the data of every record of that type.
  std::vector<size_t> records(uint16_t type) const {
    std::vector<size_t> found;
    for (size_t at = stream_; at + 4 <= stream_end_; at += 4 + u16(at + 2))
      if (u16(at) == type) found.push_back(at + 4);
    return found;
  }
  size_t last_record() const {
    size_t last = stream_;
    for (size_t at = stream_; at + 4 <= stream_end_ && u16(at + 2) + at + 4 <= stream_end_; at += 4 + u16(at + 2))
      last = at;
    return last;
  }

 private:
  std::string name_;
  size_t stream_ = 0;
  size_t stream_end_ = 0;
};

}  // namespace vers::engine
