// The shared string table does not trust the count it states, and finds
// each text's start without decoding it: a text decodes the same whichever
// order the cells ask for them in, wherever the record breaks fall.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/biff/shared_strings.h"
#include "engine/error.h"

namespace vers::engine::biff {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes counts(uint32_t stated) {
  return {0, 0, 0, 0, uint8_t(stated), uint8_t(stated >> 8), uint8_t(stated >> 16), uint8_t(stated >> 24)};
}

// An SST record's data: total and unique counts, then 8-bit texts.
Bytes table(uint32_t stated, const std::vector<std::string>& texts, const Bytes& tail = {}) {
  Bytes data = counts(stated);
  for (const std::string& t : texts) {
    data.insert(data.end(), {uint8_t(t.size()), 0, 0x00});
    data.insert(data.end(), t.begin(), t.end());
  }
  data.insert(data.end(), tail.begin(), tail.end());
  return data;
}

void take_in(SharedStrings& strings, const std::vector<Bytes>& records) {
  RecordCursor cursor;
  cursor.start(std::vector<std::span<const uint8_t>>(records.begin(), records.end()));
  strings.read(cursor, "книга.xls");
}

std::vector<std::string> read(const std::vector<Bytes>& records) {
  SharedStrings strings;
  take_in(strings, records);
  std::vector<std::string> out;
  for (size_t i = 0; i < strings.size(); ++i) out.push_back(strings.at(i));
  return out;
}

std::string failure_of(const std::vector<Bytes>& records) {
  try {
    read(records);
  } catch (const EngineError& e) {
    return e.what();
  }
  return "no failure";
}

TEST(BiffSharedStrings, ReadsEveryTextTheRecordsHold) {
  const std::vector<std::string> texts{"a", "", "bc", "def"};
  EXPECT_EQ(read({table(4, texts)}), texts);
  EXPECT_EQ(read({table(2, texts)}), texts);           // a count too small
  EXPECT_EQ(read({table(4, texts, {9, 0})}), texts);  // bytes after the last text
}

TEST(BiffSharedStrings, DecodesTextsWhereverTheRecordsBreak) {
  struct Case {
    const char* what;
    std::vector<Bytes> records;  // the SST record's data, then its CONTINUE records
    std::vector<std::string> expected;
  };
  const Bytes two = counts(2);
  const Case cases[] = {
      {"a length that straddles the break",
       {{0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0x00, 'x', 2}, {0, 0x00, 'o', 'k'}},
       {"x", "ok"}},
      {"flags after the break", {{0, 0, 0, 0, 1, 0, 0, 0, 2, 0}, {0x01, 0x14, 0x04, 0x30, 0x04}}, {"Да"}},
      {"8-bit text that goes on as 16-bit, then a text after it",
       {{0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0x00, 'a'}, {0x01, 0x14, 0x04, 0x30, 0x04, 1, 0, 0x00, 'z'}},
       {"aДа", "z"}},
      {"16-bit text that goes on as 8-bit",
       {{0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0x01, 0x14, 0x04}, {0x00, 'x', 'y', 1, 0, 0x00, 'q'}},
       {"Дxy", "q"}},
      {"rich-text runs and phonetic data that reach into the next record",
       // flags 0x0D: 16-bit, runs, phonetic; 1 run (4 bytes), 3 phonetic bytes
       {{0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0x0D, 1, 0, 3, 0, 0, 0, 0x41, 0x00, 9, 9}, {9, 9, 7, 7, 7, 1, 0, 0x00, 'b'}},
       {"A", "b"}},
      {"a text that starts a record", {two, {1, 0, 0x00, 'a'}, {1, 0, 0x00, 'b'}}, {"a", "b"}},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.records), c.expected) << c.what;
}

TEST(BiffSharedStrings, ATextDecodesTheSameInAnyOrderAndAgain) {
  const std::vector<Bytes> records{{0, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0x01, 0x14, 0x04},
                                   {0x00, 'x', 1, 0, 0x00, 'y', 3, 0, 0x00, 'a'},
                                   {0x01, 0x16, 0x04, 0x16, 0x04}};
  SharedStrings strings;
  take_in(strings, records);
  ASSERT_EQ(strings.size(), 3u);
  EXPECT_EQ(strings.at(2), "aЖЖ");
  EXPECT_EQ(strings.at(0), "Дx");
  EXPECT_EQ(strings.at(2), "aЖЖ");
  EXPECT_EQ(strings.at(1), "y");
}

TEST(BiffSharedStrings, DamageIsFoundWhenTheTableIsTakenIn) {
  struct Case {
    const char* what;
    std::vector<Bytes> records;
    const char* message_part;
  };
  const Case cases[] = {
      {"the records end before the stated count", {table(5, {"a", "b"}, {7, 0, 0, 'x'})}, "строке 3 из 5"},
      {"half a 16-bit character before the end", {{0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0x01, 0x14, 0x04, 0x30}},
       "строке 1 из 1"},
      {"a text that runs on into no record", {{0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0x00, 'a', 4, 0, 0x00, 'b'}},
       "строке 2 из 2"},
      {"phonetic data past the last record", {{0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0x04, 50, 0, 0, 0, 'a'}},
       "строке 1 из 1"},
      {"no counts", {{0, 0, 0, 0, 1}}, "(таблица строк) обрезана"},
  };
  for (const Case& c : cases) {
    const std::string message = failure_of(c.records);
    EXPECT_NE(message.find("«книга.xls»"), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
  }
}

}  // namespace
}  // namespace vers::engine::biff
