// The shared string table (SST) of a BIFF8 workbook: every text that cells
// refer to by number. All texts sit in one buffer, so reading a table of
// many thousands of strings costs no allocation per string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/biff/record_cursor.h"

namespace vers::engine::biff {

class SharedStrings {
 public:
  size_t size() const { return ends_.size(); }
  std::string_view at(size_t index) const {
    const size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(pool_).substr(begin, ends_[index] - begin);
  }

  // Reads the SST record and its CONTINUE records. The count the record
  // states is not trusted: every text the records hold is read. A text cut
  // off by the end of the records is damage (EngineError) unless the stated
  // count was already reached.
  void read(RecordCursor& cursor, const std::string& book);

 private:
  std::string pool_;          // the texts one after another, UTF-8
  std::vector<size_t> ends_;  // where each text ends in pool_
};

}  // namespace vers::engine::biff
