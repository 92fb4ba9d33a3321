// The shared string table (SST) of a BIFF8 workbook: every text that cells
// refer to by number. Opening a workbook reads only the table's counts.
// Where a text starts (its length and flags tell how far it reaches) is
// found when a cell asks for it: from the entry before it in the table's
// index (EXTSST: where every so many texts start) when the index holds up,
// else front to back as far as that text. A text is decoded when a
// cell that is read refers to it. So a table of many thousands of strings
// costs little when only a few areas of the workbook are read, and of an
// encrypted table only the records passed over are ever decrypted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/biff/record_cursor.h"
#include "engine/biff/record_reader.h"

namespace vers::engine::biff {

class SharedStrings {
 public:
  // Makes the table's record of that number (0 the SST record, then its
  // CONTINUE records in order) readable: crypto::WorkbookStream decrypts
  // it there. None: they all are.
  using Prepare = std::function<void(size_t record)>;

  // Takes in the SST record and its CONTINUE records, which must outlive
  // this table, and reads the counts. Throws EngineError when they are cut
  // off.
  void read(std::vector<Record> records, const std::string& book, Prepare prepare = nullptr);

  // Takes in the EXTSST record's data, the index of where every so many
  // texts start, after read(). It is only a shortcut: an index that does
  // not agree with the records it points into is set aside, and the texts
  // are found from the first on. An entry is trusted when it lies in the record it names, the first one
  // at the first text, and walking the texts of its bucket, and of the
  // bucket before it, ends where the next entry starts, and walking the
  // last bucket ends where the records do.
  void use_index(std::span<const uint8_t> extsst);

  // Whether the table holds a text of that number. The count the record
  // states is not trusted: every text the records hold counts. Throws
  // EngineError naming the text when one is cut off by the end of the
  // records before this one is found, unless the stated count was already
  // reached (bytes after the last text). So a text found always decodes.
  bool has(size_t index) const;

  // The text with that number, for which has() was true, as UTF-8.
  std::string at(size_t index) const;

 private:
  using Position = RecordCursor::Position;

  void find_through(size_t index) const;
  bool find_in_index(size_t index) const;
  bool walk_bucket(size_t bucket) const;
  template <typename Step>
  void read_prepared(Position from, Step&& step) const;
  void prepare(size_t record) const;
  size_t stream_offset(Position place) const;

  std::vector<size_t> data_starts_;  // of each record's data, in the stream
  std::vector<size_t> data_sizes_;
  Prepare prepare_;
  std::string book_;   // for messages
  size_t offset_ = 0;  // of the SST record, for messages
  size_t stated_ = 0;  // the count of texts the record states
  Position first_;     // where the first text starts

  // Finding starts and decoding move the cursor and fill in what is found;
  // the table's content never changes.
  mutable RecordCursor cursor_;
  mutable std::vector<bool> prepared_;  // by record
  // Found front to back: the starts of the first texts.
  mutable std::vector<Position> starts_;
  mutable Position next_;         // where the next text starts
  mutable bool complete_ = true;  // every start is found (none: no table read)
  // The index: texts per bucket, and where each bucket's first text
  // starts; the starts of the texts of each bucket walked (empty: not yet).
  // Emptied when it proves wrong.
  size_t per_bucket_ = 0;
  mutable std::vector<Position> buckets_;
  mutable std::vector<std::vector<Position>> bucket_starts_;
};

}  // namespace vers::engine::biff
