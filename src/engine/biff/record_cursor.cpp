#include "engine/biff/record_cursor.h"

#include <algorithm>

#include "engine/biff/record_types.h"
#include "engine/cfb/little_endian.h"
#include "engine/codepage.h"

namespace vers::engine::biff {
namespace {

// Characters are encoded into a buffer on the stack a run at a time and
// appended from there: the text then takes one allocation of its own size
// (none when it is short), with no bytes written twice.
constexpr size_t kRun = 256;

// Appends 16-bit characters as UTF-8 up to the first surrogate: most of a
// workbook's text is Cyrillic read here, and this is the hot loop of
// reading cells. Returns how many characters it took.
size_t append_bmp_run(const uint8_t* p, size_t count, std::string& out) {
  char buf[3 * kRun];
  size_t i = 0;
  while (i < count) {
    const size_t end = std::min(count, i + kRun);
    char* w = buf;
    for (; i < end; ++i) {
      const uint32_t u = read_u16(p + 2 * i);
      if (u < 0x80) {
        *w++ = static_cast<char>(u);
      } else if (u < 0x800) {
        *w++ = static_cast<char>(0xC0 | (u >> 6));
        *w++ = static_cast<char>(0x80 | (u & 0x3F));
      } else if (u >= 0xD800 && u <= 0xDFFF) {
        out.append(buf, static_cast<size_t>(w - buf));
        return i;  // a surrogate: the caller pairs it
      } else {
        *w++ = static_cast<char>(0xE0 | (u >> 12));
        *w++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        *w++ = static_cast<char>(0x80 | (u & 0x3F));
      }
    }
    out.append(buf, static_cast<size_t>(w - buf));
  }
  return i;
}

// Appends 8-bit characters (Latin-1) as UTF-8.
void append_latin1(const uint8_t* p, size_t count, std::string& out) {
  char buf[2 * kRun];
  for (size_t i = 0; i < count;) {
    const size_t end = std::min(count, i + kRun);
    char* w = buf;
    for (; i < end; ++i) {
      if (p[i] < 0x80) {
        *w++ = static_cast<char>(p[i]);
      } else {
        *w++ = static_cast<char>(0xC0 | (p[i] >> 6));
        *w++ = static_cast<char>(0x80 | (p[i] & 0x3F));
      }
    }
    out.append(buf, static_cast<size_t>(w - buf));
  }
}

}  // namespace

void RecordCursor::start(const Record& first, RecordReader& reader) {
  fragments_.clear();
  fragments_.push_back(first.data);
  type_ = first.type;
  offset_ = first.offset;
  uint16_t next_type;
  Record continued;
  while (reader.peek_type(next_type) && next_type == record::kContinue && reader.next(continued))
    fragments_.push_back(continued.data);
  index_ = 0;
  pos_ = 0;
}

void RecordCursor::start(std::vector<std::span<const uint8_t>> fragments) {
  fragments_ = std::move(fragments);
  if (fragments_.empty()) fragments_.emplace_back();
  type_ = 0;
  offset_ = 0;
  index_ = 0;
  pos_ = 0;
}

bool RecordCursor::at_end() const {
  if (pos_ < fragments_[index_].size()) return false;
  for (size_t i = index_ + 1; i < fragments_.size(); ++i)
    if (!fragments_[i].empty()) return false;
  return true;
}

size_t RecordCursor::remaining() const {
  size_t total = fragments_[index_].size() - pos_;
  for (size_t i = index_ + 1; i < fragments_.size(); ++i) total += fragments_[i].size();
  return total;
}

bool RecordCursor::next_fragment() {
  if (index_ + 1 >= fragments_.size()) return false;
  ++index_;
  pos_ = 0;
  return true;
}

const uint8_t* RecordCursor::take(size_t bytes) {
  const std::span<const uint8_t> f = fragments_[index_];
  if (f.size() - pos_ < bytes) return nullptr;
  const uint8_t* p = f.data() + pos_;
  pos_ += bytes;
  return p;
}

uint8_t RecordCursor::u8() {
  while (pos_ == fragments_[index_].size())
    if (!next_fragment()) throw Truncated{};
  return fragments_[index_][pos_++];
}

uint16_t RecordCursor::u16() {
  if (const uint8_t* p = take(2)) return read_u16(p);
  const uint8_t lo = u8();
  return static_cast<uint16_t>(lo | (u8() << 8));
}

uint32_t RecordCursor::u32() {
  if (const uint8_t* p = take(4)) return read_u32(p);
  const uint32_t lo = u16();
  return lo | (static_cast<uint32_t>(u16()) << 16);
}

void RecordCursor::skip(size_t bytes) {
  while (bytes > 0) {
    const size_t here = std::min(bytes, fragments_[index_].size() - pos_);
    pos_ += here;
    bytes -= here;
    if (bytes > 0 && !next_fragment()) throw Truncated{};
  }
}

void RecordCursor::read_bytes(size_t count, std::vector<uint8_t>& out) {
  while (count > 0) {
    const std::span<const uint8_t> f = fragments_[index_];
    const size_t here = std::min(count, f.size() - pos_);
    out.insert(out.end(), f.begin() + pos_, f.begin() + pos_ + here);
    pos_ += here;
    count -= here;
    if (count > 0 && !next_fragment()) throw Truncated{};
  }
}

// The record that continues a text restates the width of its characters
// in a flags byte of its own.
void RecordCursor::continue_text(bool& high_byte) {
  if (!next_fragment()) throw Truncated{};
  while (fragments_[index_].empty())
    if (!next_fragment()) throw Truncated{};
  high_byte = (fragments_[index_][pos_++] & 0x01) != 0;
}

void RecordCursor::read_chars(size_t count, bool high_byte, std::string& out) {
  char32_t high_surrogate = 0;  // a pair may straddle a record boundary
  auto put16 = [&](char32_t u) {
    if (high_surrogate) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((high_surrogate - 0xD800) << 10) + (u - 0xDC00));
        high_surrogate = 0;
        return;
      }
      append_utf8(out, 0xFFFD);
      high_surrogate = 0;
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
      high_surrogate = u;
      return;
    }
    append_utf8(out, u);
  };
  while (count > 0) {
    if (pos_ == fragments_[index_].size()) continue_text(high_byte);
    const std::span<const uint8_t> f = fragments_[index_];
    const size_t width = high_byte ? 2 : 1;
    const size_t here = std::min(count, (f.size() - pos_) / width);
    if (here == 0) throw Truncated{};  // half a character before the boundary
    const uint8_t* p = f.data() + pos_;
    if (high_byte) {
      size_t i = 0;
      if (!high_surrogate) i = append_bmp_run(p, here, out);
      for (; i < here; ++i) put16(read_u16(p + 2 * i));
    } else {
      if (high_surrogate) {  // a lone high surrogate before 8-bit text
        append_utf8(out, 0xFFFD);
        high_surrogate = 0;
      }
      append_latin1(p, here, out);
    }
    pos_ += here * width;
    count -= here;
  }
  if (high_surrogate) append_utf8(out, 0xFFFD);
}

RecordCursor::TextHeader RecordCursor::text_header(bool long_length) {
  TextHeader h;
  uint8_t flags = 0;
  if (const uint8_t* p = long_length ? take(3) : nullptr) {  // the common case: all in this record
    h.count = read_u16(p);
    flags = p[2];
  } else {
    h.count = long_length ? u16() : u8();
    flags = u8();
  }
  h.high_byte = (flags & 0x01) != 0;
  // What follows the characters: 4 bytes per rich-text run, then the
  // phonetic data.
  const size_t runs = (flags & 0x08) ? u16() : 0;
  const size_t phonetic_bytes = (flags & 0x04) ? u32() : 0;
  h.trailing_bytes = runs * 4 + phonetic_bytes;
  return h;
}

void RecordCursor::read_unicode_string(bool long_length, std::string& out) {
  const TextHeader h = text_header(long_length);
  read_chars(h.count, h.high_byte, out);
  skip(h.trailing_bytes);
}

// The byte-for-byte twin of read_chars without the output.
void RecordCursor::skip_chars(size_t count, bool high_byte) {
  while (count > 0) {
    if (pos_ == fragments_[index_].size()) continue_text(high_byte);
    const size_t width = high_byte ? 2 : 1;
    const size_t here = std::min(count, (fragments_[index_].size() - pos_) / width);
    if (here == 0) throw Truncated{};
    pos_ += here * width;
    count -= here;
  }
}

void RecordCursor::skip_unicode_string(bool long_length) {
  // The common case, a plain text wholly inside this record, in one step.
  const std::span<const uint8_t> f = fragments_[index_];
  if (long_length && f.size() - pos_ >= 3) {
    const uint8_t* p = f.data() + pos_;
    const uint8_t flags = p[2];
    const size_t bytes = 3 + size_t{read_u16(p)} * ((flags & 0x01) ? 2 : 1);
    if ((flags & 0x0C) == 0 && f.size() - pos_ >= bytes) {
      pos_ += bytes;
      return;
    }
  }
  const TextHeader h = text_header(long_length);
  skip_chars(h.count, h.high_byte);
  skip(h.trailing_bytes);
}

void RecordCursor::read_codepage_chars(size_t count, uint16_t codepage, std::string& out) {
  scratch_.clear();
  read_bytes(count, scratch_);
  out += decode_codepage(
      std::string_view(reinterpret_cast<const char*>(scratch_.data()), scratch_.size()), codepage);
}

}  // namespace vers::engine::biff
