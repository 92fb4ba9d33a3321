#include "engine/biff/shared_strings.h"

#include <algorithm>
#include <utility>

#include "engine/biff/messages.h"
#include "engine/biff/record_types.h"
#include "engine/cfb/little_endian.h"

namespace vers::engine::biff {

void SharedStrings::read(std::vector<Record> records, const std::string& book, Prepare prepare) {
  book_ = book;
  if (records.empty()) throw_damaged(book, "таблица строк пуста");
  offset_ = records.front().offset;
  prepare_ = std::move(prepare);
  std::vector<std::span<const uint8_t>> fragments;
  data_starts_.clear();
  data_sizes_.clear();
  for (const Record& r : records) {
    fragments.push_back(r.data);
    data_starts_.push_back(r.offset + 4);
    data_sizes_.push_back(r.data.size());
  }
  cursor_.start(std::move(fragments));
  prepared_.assign(records.size(), !prepare_);
  starts_.clear();
  complete_ = true;  // until the counts are read
  buckets_.clear();
  bucket_starts_.clear();
  try {
    read_prepared({}, [this] {
      cursor_.skip(4);  // total number of references to the table
      stated_ = cursor_.u32();
    });
  } catch (const RecordCursor::Truncated&) {
    throw_damaged(book, describe_record(record::kSst, offset_) + " (таблица строк) обрезана");
  }
  first_ = next_ = cursor_.position();
  complete_ = false;
}

void SharedStrings::use_index(std::span<const uint8_t> extsst) {
  buckets_.clear();
  bucket_starts_.clear();
  if (complete_ || extsst.size() < 2) return;
  // Texts per bucket, then for each bucket the stream offset of its first
  // text, that text's offset in its record (counting the record's header)
  // and two reserved bytes.
  constexpr size_t kEntrySize = 8;
  per_bucket_ = read_u16(extsst.data());
  if (per_bucket_ == 0 || stated_ == 0) return;
  const size_t needed = (stated_ - 1) / per_bucket_ + 1;
  if ((extsst.size() - 2) / kEntrySize < needed) return;
  std::vector<Position> buckets;
  for (size_t b = 0; b < needed; ++b) {
    const uint8_t* entry = extsst.data() + 2 + b * kEntrySize;
    const size_t at = read_u32(entry);
    const size_t in_record = read_u16(entry + 4);
    const auto after = std::upper_bound(data_starts_.begin(), data_starts_.end(), at);
    if (after == data_starts_.begin()) return;
    const size_t record = static_cast<size_t>(after - data_starts_.begin()) - 1;
    const size_t offset = at - data_starts_[record];
    if (offset >= data_sizes_[record] || in_record != offset + 4) return;
    if (!buckets.empty() && at <= stream_offset(buckets.back())) return;
    buckets.push_back({uint32_t(record), uint32_t(offset)});
  }
  if (stream_offset(buckets.front()) != stream_offset(first_)) return;
  buckets_ = std::move(buckets);
  bucket_starts_.resize(buckets_.size());
}

bool SharedStrings::has(size_t index) const {
  if (index < starts_.size() || find_in_index(index)) return true;
  if (!complete_) find_through(index);
  return index < starts_.size();
}

std::string SharedStrings::at(size_t index) const {
  const auto start_of = [this](size_t i) -> const Position* {
    if (i < starts_.size()) return &starts_[i];
    if (i < stated_ && !buckets_.empty()) {
      const std::vector<Position>& bucket = bucket_starts_[i / per_bucket_];
      if (i % per_bucket_ < bucket.size()) return &bucket[i % per_bucket_];
    }
    return nullptr;
  };
  const Position* start = start_of(index);
  if (!start && has(index)) start = start_of(index);
  if (!start) throw_damaged(book_, "в таблице строк нет строки " + std::to_string(index + 1));
  std::string text;
  cursor_.seek(*start);
  try {
    cursor_.read_unicode_string(true, text);
  } catch (const RecordCursor::Truncated&) {
    // has() passed over this very text, so this is never met; should the
    // two ever part, the failure stays a clean one.
    throw_damaged(book_, "таблица строк обрывается на строке " + std::to_string(index + 1));
  }
  return text;
}

// Finds the starts of the texts after the last one found front to back,
// up to that of the text with that number, or of the last text the
// records hold.
void SharedStrings::find_through(size_t index) const {
  cursor_.seek(next_);
  // Every text takes at least 3 bytes.
  if (starts_.empty()) starts_.reserve(std::min(stated_, cursor_.remaining() / 3));
  const bool all_prepared = !prepare_;
  while (starts_.size() <= index) {
    if (cursor_.at_end()) {
      complete_ = true;
      break;
    }
    const Position start = cursor_.position();
    try {
      if (all_prepared)
        cursor_.skip_unicode_string(true);
      else
        read_prepared(start, [this] { cursor_.skip_unicode_string(true); });
    } catch (const RecordCursor::Truncated&) {
      if (starts_.size() >= stated_) {  // trailing bytes after the stated texts
        complete_ = true;
        break;
      }
      throw_damaged(book_, "таблица строк обрывается на строке " + std::to_string(starts_.size() + 1) + " из " +
                               std::to_string(stated_));
    }
    starts_.push_back(start);
  }
  next_ = cursor_.position();  // of no use once complete
}

// Finds the text's start through the index: true when its bucket, and
// the bucket before it, end where the next bucket starts, and the last one
// where the records end (an entry out of step with the texts puts every
// entry after it out of step too, up to the last). Sets the index aside
// for good when they do not.
bool SharedStrings::find_in_index(size_t index) const {
  if (buckets_.empty() || index >= stated_) return false;
  const size_t bucket = index / per_bucket_;
  if (walk_bucket(bucket) && (bucket == 0 || walk_bucket(bucket - 1)) && walk_bucket(buckets_.size() - 1)) return true;
  buckets_.clear();
  bucket_starts_.clear();
  return false;
}

// Finds the starts of the bucket's texts, walking from its entry; false
// when they do not end where the next bucket starts (the last one: where
// the records end).
bool SharedStrings::walk_bucket(size_t bucket) const {
  if (!bucket_starts_[bucket].empty()) return true;
  const size_t count = std::min(per_bucket_, stated_ - bucket * per_bucket_);
  std::vector<Position> found;
  found.reserve(count);
  cursor_.seek(buckets_[bucket]);
  for (size_t n = 0; n < count; ++n) {
    if (cursor_.at_end()) return false;
    found.push_back(cursor_.position());
    try {
      if (prepare_)
        read_prepared(found.back(), [this] { cursor_.skip_unicode_string(true); });
      else
        cursor_.skip_unicode_string(true);
    } catch (const RecordCursor::Truncated&) {
      return false;  // the walk from the first text tells whether this is damage
    }
  }
  const Position at = cursor_.position();
  if (bucket + 1 < buckets_.size()) {
    if (stream_offset(at) != stream_offset(buckets_[bucket + 1])) return false;
  } else if (!cursor_.at_end()) {
    return false;
  }
  bucket_starts_[bucket] = std::move(found);
  return true;
}

// Runs step, which reads forward from the place from, until every byte it
// read was readable. Reading in order, it can only have been misled once it
// reached into the first record not yet prepared (or ran past the last
// record while some were not prepared): that one is prepared and it runs
// again. Records are only ever added to those prepared, so this ends,
// having prepared no record past the one the cursor stops in.
template <typename Step>
void SharedStrings::read_prepared(Position from, Step&& step) const {
  for (;;) {
    cursor_.seek(from);
    size_t last = 0;  // the last record step read from
    bool cut_off = false;
    try {
      step();
      last = cursor_.position().fragment;
    } catch (const RecordCursor::Truncated&) {
      last = prepared_.size() - 1;
      cut_off = true;
    }
    size_t record = from.fragment;
    while (record <= last && prepared_[record]) ++record;
    if (record > last) {
      if (cut_off) throw RecordCursor::Truncated{};
      return;
    }
    prepare(record);
  }
}

void SharedStrings::prepare(size_t record) const {
  prepare_(record);
  prepared_[record] = true;
}

// A place at the end of one record is the same as the start of the next.
size_t SharedStrings::stream_offset(Position place) const {
  if (place.offset == data_sizes_[place.fragment] && place.fragment + 1 < data_sizes_.size())
    return data_starts_[place.fragment + 1];
  return data_starts_[place.fragment] + place.offset;
}

}  // namespace vers::engine::biff
