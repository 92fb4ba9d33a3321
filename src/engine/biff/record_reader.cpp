#include "engine/biff/record_reader.h"

#include "engine/biff/messages.h"
#include "engine/cfb/little_endian.h"

namespace vers::engine::biff {

RecordReader::RecordReader(std::span<const uint8_t> stream, size_t start, const std::string& book,
                           const std::string* sheet)
    : stream_(stream), pos_(start), book_(book), sheet_(sheet) {}

bool RecordReader::next(Record& record) {
  if (pos_ >= stream_.size() || stream_.size() - pos_ < 4) return false;
  const uint8_t* header = stream_.data() + pos_;
  const uint16_t type = read_u16(header);
  const size_t length = read_u16(header + 2);
  if (stream_.size() - pos_ - 4 < length)
    throw_damaged(book_, (sheet_ ? "лист «" + *sheet_ + "»: " : std::string()) + describe_record(type, pos_) +
                             " выходит за конец потока");
  record.type = type;
  record.offset = pos_;
  record.data = stream_.subspan(pos_ + 4, length);
  pos_ += 4 + length;
  return true;
}

bool RecordReader::peek_type(uint16_t& type) const {
  if (pos_ >= stream_.size() || stream_.size() - pos_ < 4) return false;
  type = read_u16(stream_.data() + pos_);
  return true;
}

}  // namespace vers::engine::biff
