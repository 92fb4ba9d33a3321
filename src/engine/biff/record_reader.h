// Steps through the records of a BIFF stream. Each record is a 4-byte
// header (type, data length) and its data; the reader hands out views into
// the stream, never copies. All record reading goes through here, so a
// decrypting stream can later be put underneath it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vers::engine::biff {

struct Record {
  uint16_t type = 0;
  std::span<const uint8_t> data;
  size_t offset = 0;  // of the header in the stream
};

class RecordReader {
 public:
  // Reads from start on; book (and sheet, when given) name the place in
  // messages.
  RecordReader(std::span<const uint8_t> stream, size_t start, const std::string& book,
               const std::string* sheet = nullptr);

  // The next record; false at the end of the stream (a few bytes of padding
  // that cannot hold a header count as the end). Throws EngineError when a
  // record's data reaches past the end of the stream.
  bool next(Record& record);

  // The type of the record next() would return, or false at the end.
  bool peek_type(uint16_t& type) const;

  // Where the header of the record next() would return begins.
  size_t position() const { return pos_; }

 private:
  std::span<const uint8_t> stream_;
  size_t pos_;
  const std::string& book_;
  const std::string* sheet_;
};

}  // namespace vers::engine::biff
