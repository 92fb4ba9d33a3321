// The shared string table does not trust the count it states.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/biff/shared_strings.h"
#include "engine/error.h"

namespace vers::engine::biff {
namespace {

using Bytes = std::vector<uint8_t>;

// An SST record's data: total and unique counts, then the texts.
Bytes table(uint32_t stated, const std::vector<std::string>& texts, const Bytes& tail = {}) {
  Bytes data{0, 0, 0, 0, uint8_t(stated), uint8_t(stated >> 8), uint8_t(stated >> 16), uint8_t(stated >> 24)};
  for (const std::string& t : texts) {
    data.insert(data.end(), {uint8_t(t.size()), 0, 0x00});
    data.insert(data.end(), t.begin(), t.end());
  }
  data.insert(data.end(), tail.begin(), tail.end());
  return data;
}

std::vector<std::string> read(const Bytes& data) {
  RecordCursor cursor;
  cursor.start({std::span<const uint8_t>(data)});
  SharedStrings strings;
  strings.read(cursor, "книга.xls");
  std::vector<std::string> out;
  for (size_t i = 0; i < strings.size(); ++i) out.emplace_back(strings.at(i));
  return out;
}

TEST(BiffSharedStrings, ReadsEveryTextTheRecordsHold) {
  const std::vector<std::string> texts{"a", "", "bc", "def"};
  EXPECT_EQ(read(table(4, texts)), texts);
  EXPECT_EQ(read(table(2, texts)), texts);           // a count too small
  EXPECT_EQ(read(table(4, texts, {9, 0})), texts);  // bytes after the last text
}

TEST(BiffSharedStrings, ATableCutShortOfItsCountIsDamage) {
  try {
    read(table(5, {"a", "b"}, {7, 0, 0, 'x'}));
    FAIL() << "no failure";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("«книга.xls»"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("строке 3"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace vers::engine::biff
