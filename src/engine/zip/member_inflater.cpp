#include "engine/zip/member_inflater.h"

#include <algorithm>
#include <cstring>

#include "engine/error.h"

namespace vers::engine::zip {
namespace {

constexpr unsigned kWindow = 32 * 1024;

// zlib counts input in 32-bit amounts: the raw bytes are handed over in
// pieces no larger than this.
constexpr uint64_t kMaxPiece = uint64_t(1) << 30;

// Points closer than this are not all kept: a resumed stream inflates at
// most this much more, and few windows are copied.
constexpr uint64_t kPointSpacing = 256 * 1024;

}  // namespace

MemberInflater::MemberInflater(std::span<const uint8_t> raw, bool stored,
                               std::shared_ptr<const ResumePoint::State> from, std::optional<uint32_t> expected_crc,
                               std::string what)
    : raw_(raw), stored_(stored), what_(std::move(what)), from_(std::move(from)) {
  if (!stored_) {
    if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) throw EngineError("Недостаточно памяти для чтения " + what_);
    z_ready_ = true;
  }
  if (!from_) {
    expected_crc_ = expected_crc;
    crc_ = uint32_t(crc32(0, nullptr, 0));
    return;
  }
  if (from_->in > raw_.size() || (from_->bits && from_->in == 0)) fail("данные архива не читаются");
  out_ = from_->out;
  in_ = from_->in;
  if (stored_) return;
  if ((from_->bits && inflatePrime(&z_, from_->bits, from_->byte >> (8 - from_->bits)) != Z_OK) ||
      (!from_->window.empty() &&
       inflateSetDictionary(&z_, from_->window.data(), uInt(from_->window.size())) != Z_OK))
    fail("данные архива не читаются");
}

MemberInflater::~MemberInflater() {
  if (z_ready_) inflateEnd(&z_);
}

void MemberInflater::fail(const std::string& detail) const {
  throw EngineError("Файл " + what_ + " повреждён: " + detail);
}

void MemberInflater::refill() {
  const uint64_t n = std::min<uint64_t>(raw_.size() - in_, kMaxPiece);
  z_.next_in = const_cast<Bytef*>(raw_.data() + in_);
  z_.avail_in = uInt(n);
  in_ += n;
}

size_t MemberInflater::read(char* buffer, size_t size) {
  if (finished_ || size == 0) return 0;
  size_t produced = 0;
  if (stored_) {
    produced = size_t(std::min<uint64_t>(raw_.size() - in_, size));
    std::memcpy(buffer, raw_.data() + in_, produced);
    in_ += produced;
    finished_ = produced == 0;
  } else {
    z_.next_out = reinterpret_cast<Bytef*>(buffer);
    z_.avail_out = uInt(std::min<size_t>(size, 1u << 30));
    const uInt room = z_.avail_out;
    while (z_.avail_out > 0) {
      if (z_.avail_in == 0 && in_ < raw_.size()) refill();
      const int result = inflate(&z_, Z_BLOCK);
      if (result == Z_STREAM_END) {
        finished_ = true;
        break;
      }
      // No progress with every raw byte taken: the member ends too soon.
      if (result == Z_BUF_ERROR && z_.avail_in == 0) fail("данные архива обрываются");
      if (result != Z_OK && result != Z_BUF_ERROR) fail("данные архива не читаются");
      // Between two blocks (not after the last): a place to start again.
      if ((z_.data_type & 128) && !(z_.data_type & 64)) note_block_start(out_ + (room - z_.avail_out));
    }
    produced = room - z_.avail_out;
  }
  out_ += produced;
  if (expected_crc_) {
    crc_ = uint32_t(crc32_z(crc_, reinterpret_cast<const Bytef*>(buffer), produced));
    if (finished_ && crc_ != *expected_crc_) fail("контрольная сумма части не сходится");
  }
  return produced;
}

void MemberInflater::note_block_start(uint64_t out) {
  const auto& newest = kept_count_ ? kept_[(kept_count_ - 1) % kKept] : from_;
  if (newest ? out < newest->out + kPointSpacing : out < kPointSpacing) return;
  auto point = std::make_shared<ResumePoint::State>();
  point->out = out;
  point->in = in_ - z_.avail_in;
  point->bits = z_.data_type & 7;
  if (point->bits) point->byte = raw_[point->in - 1];
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
    point->out = point->in = std::min<uint64_t>(offset, raw_.size());
    return point;
  }
  for (size_t i = 0; i < std::min(kept_count_, kKept); ++i) {
    const auto& point = kept_[(kept_count_ - 1 - i) % kKept];
    if (point->out <= offset) return point;
  }
  return from_ && from_->out <= offset ? from_ : nullptr;
}

}  // namespace vers::engine::zip
