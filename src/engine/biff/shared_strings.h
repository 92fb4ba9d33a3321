// The shared string table (SST) of a BIFF8 workbook: every text that cells
// refer to by number. Opening a workbook only finds where each text starts
// (its length and flags tell how far it reaches); a text is decoded when a
// cell that is read refers to it, so a table of many thousands of strings
// costs little when only a few areas of the workbook are read.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/biff/record_cursor.h"

namespace vers::engine::biff {

class SharedStrings {
 public:
  size_t size() const { return starts_.size(); }

  // The text with that number (below size()), as UTF-8.
  std::string at(size_t index) const;

  // Takes in the SST record and its CONTINUE records, which cursor is
  // started on; they must outlive this table. The count the record states
  // is not trusted: every text the records hold is found. A text cut off by
  // the end of the records is damage (EngineError) unless the stated count
  // was already reached, so a text found here always decodes.
  void read(const RecordCursor& cursor, const std::string& book);

 private:
  // Decoding moves the cursor; the table's content never changes.
  mutable RecordCursor cursor_;
  std::vector<RecordCursor::Position> starts_;
  std::string book_;  // for messages
};

}  // namespace vers::engine::biff
