// The shared string table does not trust the count it states, and finds
// each text's start without decoding it: a text decodes the same whichever
// order the cells ask for them in, wherever the record breaks fall.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/biff/record_types.h"
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

// The records as they would lie in a stream, one after another.
std::vector<Record> as_records(const std::vector<Bytes>& records) {
  std::vector<Record> out;
  size_t offset = 100;
  for (const Bytes& data : records) {
    out.push_back({out.empty() ? record::kSst : record::kContinue, data, offset});
    offset += 4 + data.size();
  }
  return out;
}

void take_in(SharedStrings& strings, const std::vector<Bytes>& records) {
  strings.read(as_records(records), "книга.xls");
}

std::vector<std::string> read(const std::vector<Bytes>& records) {
  SharedStrings strings;
  take_in(strings, records);
  std::vector<std::string> out;
  for (size_t i = 0; strings.has(i); ++i) out.push_back(strings.at(i));
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
  ASSERT_TRUE(strings.has(2));
  EXPECT_FALSE(strings.has(3));
  EXPECT_EQ(strings.at(2), "aЖЖ");
  EXPECT_EQ(strings.at(0), "Дx");
  EXPECT_EQ(strings.at(2), "aЖЖ");
  EXPECT_EQ(strings.at(1), "y");
}

std::string failure_of_has(const SharedStrings& strings, size_t index) {
  try {
    strings.has(index);
  } catch (const EngineError& e) {
    return e.what();
  }
  return "no failure";
}

// Damage shows when the text it cuts off, or one after it, is looked for;
// the texts before it still read.
TEST(BiffSharedStrings, DamageIsFoundWhenTheDamagedTextIsLookedFor) {
  struct Case {
    const char* what;
    std::vector<Bytes> records;
    std::vector<std::string> before;  // the texts before the damage
    const char* message_part;
  };
  const Case cases[] = {
      {"the records end before the stated count", {table(5, {"a", "b"}, {7, 0, 0, 'x'})}, {"a", "b"}, "строке 3 из 5"},
      {"half a 16-bit character before the end", {{0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0x01, 0x14, 0x04, 0x30}}, {},
       "строке 1 из 1"},
      {"a text that runs on into no record", {{0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0x00, 'a', 4, 0, 0x00, 'b'}}, {"a"},
       "строке 2 из 2"},
      {"phonetic data past the last record", {{0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0x04, 50, 0, 0, 0, 'a'}}, {},
       "строке 1 из 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const size_t beyond : {size_t{0}, size_t{3}}) {
      SharedStrings strings;
      take_in(strings, c.records);
      const std::string message = failure_of_has(strings, c.before.size() + beyond);
      EXPECT_NE(message.find("«книга.xls»"), std::string::npos) << message;
      EXPECT_NE(message.find(c.message_part), std::string::npos) << message;
      for (size_t i = 0; i < c.before.size(); ++i) {
        ASSERT_TRUE(strings.has(i));
        EXPECT_EQ(strings.at(i), c.before[i]);
      }
    }
  }
}

TEST(BiffSharedStrings, CountsCutOffAreFoundWhenTheTableIsTakenIn) {
  for (const std::vector<Bytes>& records : {std::vector<Bytes>{{0, 0, 0, 0, 1}}, std::vector<Bytes>{{0, 0}, {0, 0}}}) {
    SharedStrings strings;
    try {
      take_in(strings, records);
      ADD_FAILURE() << "taken in";
    } catch (const EngineError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("«книга.xls»"), std::string::npos) << message;
      EXPECT_NE(message.find("(таблица строк) обрезана"), std::string::npos) << message;
    }
  }
}

// Records that are not readable until prepared, as those of an encrypted
// table: each holds filler until the table asks for it.
class PreparedRecords {
 public:
  PreparedRecords(const std::vector<Bytes>& records, uint8_t filler)
      : content_(records), records_(as_records(records)), prepared_(records.size(), false) {
    for (const Bytes& data : records) shown_.emplace_back(data.size(), filler);
    for (size_t i = 0; i < records_.size(); ++i) records_[i].data = shown_[i];
  }

  void take_in(SharedStrings& strings) {
    strings.read(records_, "книга.xls", [this](size_t record) {
      EXPECT_FALSE(prepared_[record]) << "record " << record << " prepared twice";
      std::copy(content_[record].begin(), content_[record].end(), shown_[record].begin());  // the views stay valid
      prepared_[record] = true;
    });
  }

  size_t shown() const { return size_t(std::count(prepared_.begin(), prepared_.end(), true)); }

 private:
  std::vector<Bytes> content_;
  std::vector<Bytes> shown_;
  std::vector<Record> records_;
  std::vector<bool> prepared_;
};

// Each text reads as it does from records readable at once, in any order,
// whatever the records not yet prepared hold; the records are prepared
// only as far as the texts looked for reach.
TEST(BiffSharedStrings, RecordsArePreparedOnlyAsFarAsTheTextsLookedFor) {
  const std::vector<Bytes> records{
      {0, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0x00, 'a', 3, 0},                // a length that straddles the break
      {0x01, 0x14, 0x04, 0x30, 0x04, 0x16, 0x04, 2},                   // flags and characters, then a length
      {0, 0x00, 'o', 'k', 2, 0, 0x00, 'x'},                            // the rest of it, then a text cut
      {0x00, 'y', 1, 0, 0x00, 'z'},                                    // the rest as 8-bit, a text
      {0x00, 0x00},                                                    // an empty text past the stated count,
      {0x00}};                                                         // its flags in a record of their own
  const std::vector<std::string> texts = {"a", "ДаЖ", "ok", "xy", "z", ""};
  const std::vector<std::vector<size_t>> orders = {{0, 1, 2, 3, 4, 5}, {5, 4, 3, 2, 1, 0}, {2, 0, 4, 1, 5, 3}};
  for (const uint8_t filler : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0xFF}}) {
    for (const std::vector<size_t>& order : orders) {
      SCOPED_TRACE("filler " + std::to_string(filler) + ", first " + std::to_string(order[0]));
      PreparedRecords prepared(records, filler);
      SharedStrings strings;
      prepared.take_in(strings);
      EXPECT_EQ(prepared.shown(), 1u);  // the counts
      ASSERT_TRUE(strings.has(order[0]));
      EXPECT_EQ(strings.at(order[0]), texts[order[0]]);
      // The records that a text, and every one before it, reach into.
      const size_t reach[] = {1, 2, 3, 4, 4, 6};
      EXPECT_EQ(prepared.shown(), reach[order[0]]);
      for (const size_t i : order) {
        ASSERT_TRUE(strings.has(i));
        EXPECT_EQ(strings.at(i), texts[i]);
      }
      EXPECT_FALSE(strings.has(6));
    }
  }
}

// Damage past what was read is found when a text past it is looked for,
// with the same message as from records readable at once.
TEST(BiffSharedStrings, DamageInRecordsNotYetPreparedIsFoundWhenReached) {
  const std::vector<Bytes> records{table(4, {"a", "b"}), {1, 0, 0x00, 'c'}, {9, 0, 0x00, 'd'}};
  for (const uint8_t filler : {uint8_t{0x00}, uint8_t{0xFF}}) {
    PreparedRecords prepared(records, filler);
    SharedStrings strings;
    prepared.take_in(strings);
    ASSERT_TRUE(strings.has(1));
    EXPECT_EQ(strings.at(1), "b");
    EXPECT_EQ(prepared.shown(), 1u);
    ASSERT_TRUE(strings.has(2));
    EXPECT_EQ(strings.at(2), "c");
    const std::string message = failure_of_has(strings, 3);
    EXPECT_NE(message.find("строке 4 из 4"), std::string::npos) << message;
    EXPECT_EQ(message, failure_of(records));
  }
}

// An EXTSST record's data for records laid out as as_records() lays them:
// per texts per bucket, and each bucket's first text as (record, offset in
// its data).
Bytes index_of(const std::vector<Bytes>& records, uint16_t per, const std::vector<std::pair<size_t, size_t>>& firsts) {
  const std::vector<Record> laid_out = as_records(records);
  Bytes data{uint8_t(per), uint8_t(per >> 8)};
  for (const auto& [record, offset] : firsts) {
    const size_t at = laid_out[record].offset + 4 + offset;
    const size_t in_record = offset + 4;
    data.insert(data.end(), {uint8_t(at), uint8_t(at >> 8), uint8_t(at >> 16), uint8_t(at >> 24), uint8_t(in_record),
                             uint8_t(in_record >> 8), 0, 0});
  }
  return data;
}

// Through an index that holds up, a text's records are prepared, with
// those of the bucket before it and of the last bucket, which check it,
// and no others.
TEST(BiffSharedStrings, IndexLeadsToATextsRecordsWithoutPreparingThoseBefore) {
  const std::vector<Bytes> records{table(10, {"a", "b"}),         {1, 0, 0x00, 'c', 1, 0, 0x00, 'd'},
                                   {1, 0, 0x00, 'e', 1, 0, 0x00, 'f'}, {1, 0, 0x00, 'g', 3, 0, 0x01, 0x14, 0x04},
                                   {0x00, 'i', 'j'},                   {2, 0, 0x00, 'k', 'l', 1, 0, 0x00, 'm'}};
  const Bytes index = index_of(records, 2, {{0, 8}, {1, 0}, {2, 0}, {3, 0}, {5, 0}});
  const std::vector<std::string> texts = {"a", "b", "c", "d", "e", "f", "g", "Дij", "kl", "m"};
  PreparedRecords prepared(records, 0xFF);
  SharedStrings strings;
  prepared.take_in(strings);
  strings.use_index(index);
  ASSERT_TRUE(strings.has(6));
  EXPECT_EQ(strings.at(6), "g");
  EXPECT_EQ(prepared.shown(), 5u);  // all but the second record
  ASSERT_TRUE(strings.has(2));
  EXPECT_EQ(strings.at(2), "c");
  EXPECT_EQ(prepared.shown(), 6u);
  for (size_t i = texts.size(); i-- > 0;) {
    ASSERT_TRUE(strings.has(i));
    EXPECT_EQ(strings.at(i), texts[i]);
  }
  EXPECT_FALSE(strings.has(10));
}

// An index that does not agree with the records is set aside: every text
// still reads as it is, in any order, whether the records are readable at
// once or prepared one by one.
TEST(BiffSharedStrings, IndexThatDoesNotHoldUpIsSetAside) {
  const std::vector<Bytes> records{table(6, {"a", "b"}), {1, 0, 0x00, 'c', 1, 0, 0x00, 'd'},
                                   {1, 0, 0x00, 'e', 1, 0, 0x00, 'f'}};
  const std::vector<std::string> texts = {"a", "b", "c", "d", "e", "f"};
  Bytes in_other_record = index_of(records, 2, {{0, 8}, {1, 0}, {2, 0}});
  in_other_record[2 + 8 + 4] += 4;  // the second entry's offset in its record
  const struct {
    const char* what;
    Bytes index;
  } cases[] = {
      {"an entry one byte on", index_of(records, 2, {{0, 8}, {1, 1}, {2, 0}})},
      {"an entry a text late", index_of(records, 2, {{0, 8}, {1, 4}, {2, 4}})},
      {"entries a text late from the second on", index_of(records, 2, {{0, 8}, {1, 4}, {2, 0}})},
      {"the first entry past the first text", index_of(records, 2, {{0, 12}, {1, 0}, {2, 0}})},
      {"fewer texts per bucket than it says", index_of(records, 3, {{0, 8}, {1, 0}})},
      {"more texts per bucket than it says", index_of(records, 1, {{0, 8}, {0, 12}, {1, 0}, {1, 4}, {2, 0}, {2, 4}})},
      {"too few entries", index_of(records, 2, {{0, 8}, {1, 0}})},
      {"entries out of order", index_of(records, 2, {{0, 8}, {2, 0}, {1, 0}})},
      {"an entry in another record than it names", in_other_record},
      {"an entry past the records", index_of(records, 2, {{0, 8}, {1, 0}, {2, 9}})},
      {"no texts per bucket", index_of(records, 0, {{0, 8}, {1, 0}, {2, 0}})},
      {"cut short", {2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool readable_at_once : {true, false}) {
      SCOPED_TRACE(readable_at_once ? "readable at once" : "prepared one by one");
      for (const std::vector<size_t>& order : {std::vector<size_t>{5, 4, 3, 2, 1, 0}, std::vector<size_t>{2, 3, 0, 5}}) {
        PreparedRecords prepared(records, 0x00);
        SharedStrings strings;
        if (readable_at_once)
          take_in(strings, records);
        else
          prepared.take_in(strings);
        strings.use_index(c.index);
        for (const size_t i : order) {
          ASSERT_TRUE(strings.has(i)) << i;
          EXPECT_EQ(strings.at(i), texts[i]) << i;
        }
        EXPECT_FALSE(strings.has(6));
      }
    }
  }
}

}  // namespace
}  // namespace vers::engine::biff
