#include "engine/zip/member_inflater.h"

#include <zip.h>

#include <algorithm>
#include <cstring>

#include "engine/error.h"

namespace vers::engine::zip {
namespace {

constexpr size_t kRawChunk = 64 * 1024;
constexpr unsigned kWindow = 32 * 1024;

// Points closer than this are not all kept: a resumed stream inflates at
// most this much more, and few windows are copied.
constexpr uint64_t kPointSpacing = 256 * 1024;

}  // namespace

MemberInflater::MemberInflater(zip_file_t* raw, bool stored, std::shared_ptr<const ResumePoint::State> from,
                               std::optional<uint32_t> expected_crc, std::string what)
    : raw_(raw), stored_(stored), what_(std::move(what)), in_(kRawChunk), from_(std::move(from)) {
  if (!stored_) {
    if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) {
      zip_fclose(raw_);
      throw EngineError("Недостаточно памяти для чтения " + what_);
    }
    z_ready_ = true;
  }
  if (!from_) {
    expected_crc_ = expected_crc;
    crc_ = uint32_t(crc32(0, nullptr, 0));
    return;
  }
  // Pass the raw bytes before the point: seek where libzip can, else read.
  out_ = from_->out;
  if (zip_fseek(raw_, zip_int64_t(from_->in), SEEK_SET) == 0) {
    in_read_ = from_->in;
  } else {
    while (in_read_ < from_->in) {
      const size_t want = size_t(std::min<uint64_t>(from_->in - in_read_, in_.size()));
      const zip_int64_t n = zip_fread(raw_, in_.data(), want);
      if (n <= 0) fail_read();
      in_read_ += uint64_t(n);
    }
  }
  if (stored_) return;
  if ((from_->bits && inflatePrime(&z_, from_->bits, from_->byte >> (8 - from_->bits)) != Z_OK) ||
      (!from_->window.empty() &&
       inflateSetDictionary(&z_, from_->window.data(), uInt(from_->window.size())) != Z_OK))
    fail("данные архива не читаются");
}

MemberInflater::~MemberInflater() {
  if (z_ready_) inflateEnd(&z_);
  zip_fclose(raw_);
}

void MemberInflater::fail(const std::string& detail) const {
  throw EngineError("Файл " + what_ + " повреждён: " + detail);
}

void MemberInflater::fail_read() const {
  const bool crc = zip_error_code_zip(zip_file_get_error(raw_)) == ZIP_ER_CRC;
  fail(crc ? "контрольная сумма части не сходится" : "данные архива не читаются");
}

void MemberInflater::refill() {
  if (z_.next_in > in_.data()) last_byte_ = z_.next_in[-1];
  const zip_int64_t n = zip_fread(raw_, in_.data(), in_.size());
  if (n < 0) fail_read();
  in_read_ += uint64_t(n);
  in_end_ = n == 0;
  z_.next_in = in_.data();
  z_.avail_in = uInt(n);
}

size_t MemberInflater::read(char* buffer, size_t size) {
  if (finished_ || size == 0) return 0;
  size_t produced = 0;
  if (stored_) {
    const zip_int64_t n = zip_fread(raw_, buffer, size);
    if (n < 0) fail_read();
    produced = size_t(n);
    finished_ = n == 0;
  } else {
    z_.next_out = reinterpret_cast<Bytef*>(buffer);
    z_.avail_out = uInt(std::min<size_t>(size, 1u << 30));
    const uInt room = z_.avail_out;
    while (z_.avail_out > 0) {
      if (z_.avail_in == 0) refill();
      const int result = inflate(&z_, Z_BLOCK);
      if (result == Z_STREAM_END) {
        finished_ = true;
        break;
      }
      if (result == Z_BUF_ERROR && in_end_) fail("данные архива обрываются");
      if (result != Z_OK && result != Z_BUF_ERROR) fail("данные архива не читаются");
      // Between two blocks (not after the last): a place to start again.
      if ((z_.data_type & 128) && !(z_.data_type & 64)) note_block_start(out_ + (room - z_.avail_out));
    }
    produced = room - z_.avail_out;
  }
  out_ += produced;
  if (expected_crc_) {
    crc_ = uint32_t(crc32(crc_, reinterpret_cast<const Bytef*>(buffer), uInt(produced)));
    if (finished_ && crc_ != *expected_crc_) fail("контрольная сумма части не сходится");
  }
  return produced;
}

void MemberInflater::note_block_start(uint64_t out) {
  const auto& newest = kept_count_ ? kept_[(kept_count_ - 1) % kKept] : from_;
  if (newest ? out < newest->out + kPointSpacing : out < kPointSpacing) return;
  auto point = std::make_shared<ResumePoint::State>();
  point->out = out;
  point->in = in_read_ - z_.avail_in;
  point->bits = z_.data_type & 7;
  if (point->bits) point->byte = z_.next_in > in_.data() ? z_.next_in[-1] : last_byte_;
  point->window.resize(kWindow);
  uInt length = kWindow;
  if (inflateGetDictionary(&z_, point->window.data(), &length) != Z_OK) return;
  point->window.resize(length);
  kept_[kept_count_ % kKept] = std::move(point);
  ++kept_count_;
}

std::shared_ptr<const ResumePoint::State> MemberInflater::point_before(uint64_t offset) const {
  if (stored_) {
    auto point = std::make_shared<ResumePoint::State>();
    point->out = point->in = offset;
    return point;
  }
  for (size_t i = 0; i < std::min(kept_count_, kKept); ++i) {
    const auto& point = kept_[(kept_count_ - 1 - i) % kKept];
    if (point->out <= offset) return point;
  }
  return from_ && from_->out <= offset ? from_ : nullptr;
}

}  // namespace vers::engine::zip
