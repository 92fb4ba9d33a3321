// A record together with the CONTINUE records that follow it, read as one
// sequence of fields. Texts are the exception to plain joining: where the
// characters of a text run on into the next record, that record starts
// with a fresh flags byte that tells the width of the characters after it
// (so the width may change in mid-text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/biff/record_reader.h"

namespace vers::engine::biff {

class RecordCursor {
 public:
  // Thrown when a field reaches past the last record of the group.
  struct Truncated {};

  // A place in the records, to come back to with seek().
  struct Position {
    uint32_t fragment = 0;
    uint32_t offset = 0;  // within that record's data
  };

  // Starts on first and takes in the CONTINUE records that follow it.
  void start(const Record& first, RecordReader& reader);

  // Starts on the given pieces of data (tests build these by hand).
  void start(std::vector<std::span<const uint8_t>> fragments);

  bool at_end() const;
  Position position() const { return {uint32_t(index_), uint32_t(pos_)}; }
  // Returns to a place that position() gave on the same records.
  void seek(Position place) {
    index_ = place.fragment;
    pos_ = place.offset;
  }
  size_t remaining() const;  // bytes left in all the records
  uint16_t type() const { return type_; }
  size_t offset() const { return offset_; }

  uint8_t u8();
  uint16_t u16();
  uint32_t u32();
  void skip(size_t bytes);

  // Appends bytes that run on into CONTINUE records without a break.
  void read_bytes(size_t count, std::vector<uint8_t>& out);

  // Appends count characters of 16-bit-capable text as UTF-8; high_byte
  // gives the width up to the first record boundary inside the text.
  void read_chars(size_t count, bool high_byte, std::string& out);

  // Appends a whole text of BIFF8 (length of 8 or 16 bits, flags, the
  // characters), skipping its rich-text runs and phonetic data.
  void read_unicode_string(bool long_length, std::string& out);

  // Passes over a text as read_unicode_string reads it, decoding none of
  // its characters; throws Truncated where reading it would.
  void skip_unicode_string(bool long_length);

  // Appends count bytes of 8-bit text in the given code page (BIFF5).
  void read_codepage_chars(size_t count, uint16_t codepage, std::string& out);

 private:
  bool next_fragment();
  const uint8_t* take(size_t bytes);  // inside the current fragment only
  struct TextHeader {
    size_t count = 0;  // characters
    bool high_byte = false;
    size_t trailing_bytes = 0;  // rich-text runs and phonetic data
  };
  TextHeader text_header(bool long_length);
  void continue_text(bool& high_byte);
  void skip_chars(size_t count, bool high_byte);

  std::vector<std::span<const uint8_t>> fragments_;
  size_t index_ = 0;
  size_t pos_ = 0;
  uint16_t type_ = 0;
  size_t offset_ = 0;
  std::vector<uint8_t> scratch_;
};

}  // namespace vers::engine::biff
