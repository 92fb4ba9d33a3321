// Reading fields and texts across CONTINUE boundaries, on records laid out
// by hand as the format defines them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/biff/record_cursor.h"

namespace vers::engine::biff {
namespace {

using Bytes = std::vector<uint8_t>;

std::string read_string(const std::vector<Bytes>& pieces, bool long_length = true) {
  std::vector<std::span<const uint8_t>> fragments(pieces.begin(), pieces.end());
  RecordCursor cursor;
  cursor.start(std::move(fragments));
  std::string out;
  cursor.read_unicode_string(long_length, out);
  EXPECT_TRUE(cursor.at_end()) << "bytes left after the text";
  return out;
}

TEST(BiffRecordCursor, ReadsTextsAcrossRecordBoundaries) {
  struct Case {
    const char* what;
    std::vector<Bytes> pieces;
    std::string expected;
  };
  const Case cases[] = {
      {"8-bit text in one record", {{3, 0, 0x00, 'a', 'b', 'c'}}, "abc"},
      {"16-bit text in one record", {{2, 0, 0x01, 0x14, 0x04, 0x30, 0x04}}, "Да"},
      {"8-bit text that goes on as 16-bit",
       {{4, 0, 0x00, 'a', 'b'}, {0x01, 0x14, 0x04, 0x30, 0x04}},
       "abДа"},
      {"16-bit text that goes on as 8-bit", {{3, 0, 0x01, 0x14, 0x04}, {0x00, 'x', 'y'}}, "Дxy"},
      {"a break right after the header", {{2, 0, 0x00}, {0x01, 0x16, 0x04, 0x16, 0x04}}, "ЖЖ"},
      {"rich-text runs and phonetic data across the break",
       // flags 0x0D: 16-bit, runs, phonetic; 1 run (4 bytes), 3 phonetic bytes
       {{2, 0, 0x0D, 1, 0, 3, 0, 0, 0, 0x41, 0x00}, {0x01, 0x42, 0x00, 9, 9}, {9, 9, 7, 7, 7}},
       "AB"},
      {"a surrogate pair split by the break", {{2, 0, 0x01, 0x3D, 0xD8}, {0x01, 0x00, 0xDE}}, "\xF0\x9F\x98\x80"},
      {"an empty text before a boundary", {{0, 0, 0x00}}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(read_string(c.pieces), c.expected) << c.what;
}

TEST(BiffRecordCursor, ReadsAShortLengthText) {
  EXPECT_EQ(read_string({{2, 0x00, 'o', 'k'}}, false), "ok");
}

TEST(BiffRecordCursor, ReadsNumbersThatStraddleABoundary) {
  const std::vector<Bytes> pieces{{0x34, 0x12, 0x78}, {0x56, 0x34, 0x12}, {0xAB}};
  std::vector<std::span<const uint8_t>> fragments(pieces.begin(), pieces.end());
  RecordCursor cursor;
  cursor.start(std::move(fragments));
  EXPECT_EQ(cursor.u16(), 0x1234);
  EXPECT_EQ(cursor.u32(), 0x12345678u);
  EXPECT_EQ(cursor.u8(), 0xAB);
  EXPECT_TRUE(cursor.at_end());
  EXPECT_THROW(cursor.u8(), RecordCursor::Truncated);
}

TEST(BiffRecordCursor, ATextCutShortIsTruncated) {
  const std::vector<std::vector<Bytes>> cases = {
      {{5, 0, 0x00, 'a', 'b'}},                 // fewer characters than stated
      {{2, 0, 0x01, 0x41}},                     // half a 16-bit character
      {{2, 0, 0x00, 'a'}, {}},                  // the next record has no flags byte
      {{1, 0, 0x08, 1, 0, 'a', 1, 2}},          // runs cut short
      {{1, 0, 0x04, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}},  // phonetic size past the end
  };
  for (const std::vector<Bytes>& pieces : cases) {
    std::vector<std::span<const uint8_t>> fragments(pieces.begin(), pieces.end());
    RecordCursor cursor;
    cursor.start(std::move(fragments));
    std::string out;
    EXPECT_THROW(cursor.read_unicode_string(true, out), RecordCursor::Truncated);
  }
}

TEST(BiffRecordCursor, DecodesEightBitTextInItsCodePage) {
  const Bytes data{0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2};  // "Привет" in windows-1251
  RecordCursor cursor;
  cursor.start({std::span<const uint8_t>(data)});
  std::string out;
  cursor.read_codepage_chars(data.size(), 1251, out);
  EXPECT_EQ(out, "Привет");
}

}  // namespace
}  // namespace vers::engine::biff
