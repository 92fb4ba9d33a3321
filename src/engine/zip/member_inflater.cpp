#include "engine/zip/member_inflater.h"

#include <isa-l/crc.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "engine/error.h"

namespace vers::engine::zip {
namespace {

// The inflater counts bytes in 32-bit amounts: raw bytes are handed over,
// and output asked for, in pieces no larger than this.
constexpr uint64_t kMaxPiece = uint64_t(1) << 30;

// Points closer than this are not all kept: a resumed stream inflates at
// most this much more, and a copy of the inflater (some 85 KiB) is made
// at most once per this many bytes.
constexpr uint64_t kPointSpacing = uint64_t(4) << 20;

// What a point copies of the inflater: all before its output buffer, and
// the part of that buffer in use.
constexpr size_t kHeld = offsetof(inflate_state, tmp_out_buffer);
constexpr int32_t kMaxHeldOutput = int32_t(sizeof(inflate_state) - kHeld);

}  // namespace

MemberInflater::MemberInflater(std::span<const uint8_t> raw, bool stored,
                               std::shared_ptr<const ResumePoint::State> from, std::optional<uint32_t> expected_crc,
                               std::string what)
    : raw_(raw), stored_(stored), what_(std::move(what)), from_(std::move(from)) {
  if (from_ && (from_->in > raw_.size() || (!stored_ && from_->inflater.size() < kHeld))) fail("данные архива не читаются");
  if (!stored_) {
    if (from_) {
      state_.reset(new inflate_state);
      std::memcpy(static_cast<void*>(state_.get()), from_->inflater.data(),
                  std::min(from_->inflater.size(), sizeof(inflate_state)));
      state_->crc_flag = ISAL_DEFLATE;  // a resumed stream checks nothing
    } else {
      state_.reset(new inflate_state);  // isal_inflate_init sets what it reads
      isal_inflate_init(state_.get());
      state_->crc_flag = ISAL_GZIP_NO_HDR;  // the zip checksum is gzip's
    }
    state_->next_in = nullptr;
    state_->avail_in = 0;
  }
  if (from_) {
    out_ = from_->out;
    in_ = from_->in;
  } else {
    expected_crc_ = expected_crc;
  }
}

MemberInflater::~MemberInflater() = default;

void MemberInflater::fail(const std::string& detail) const {
  throw EngineError("Файл " + what_ + " повреждён: " + detail);
}

size_t MemberInflater::inflate_into(uint8_t* buffer, size_t size) {
  inflate_state& s = *state_;
  s.next_out = buffer;
  s.avail_out = uint32_t(std::min<uint64_t>(size, kMaxPiece));
  const uint32_t room = s.avail_out;
  while (s.avail_out > 0) {
    if (s.avail_in == 0 && in_ < raw_.size()) {
      s.next_in = const_cast<uint8_t*>(raw_.data() + in_);
      s.avail_in = uint32_t(std::min<uint64_t>(raw_.size() - in_, kMaxPiece));
      in_ += s.avail_in;
    }
    const uint32_t before = s.avail_out;
    if (isal_inflate(&s) != ISAL_DECOMP_OK) fail("данные архива не читаются");
    if (s.block_state == ISAL_BLOCK_FINISH) {
      finished_ = true;
      break;
    }
    // No progress with every raw byte taken: the member ends too soon.
    if (s.avail_out == before && s.avail_in == 0 && in_ == raw_.size()) fail("данные архива обрываются");
  }
  return room - s.avail_out;
}

size_t MemberInflater::read(char* buffer, size_t size) {
  if (finished_ || size == 0) return 0;
  size_t produced = 0;
  if (stored_) {
    produced = size_t(std::min<uint64_t>({raw_.size() - in_, size, kMaxPiece}));
    std::memcpy(buffer, raw_.data() + in_, produced);
    in_ += produced;
    finished_ = produced == 0;
    if (expected_crc_) stored_crc_ = crc32_gzip_refl(stored_crc_, reinterpret_cast<const uint8_t*>(buffer), produced);
  } else {
    produced = inflate_into(reinterpret_cast<uint8_t*>(buffer), size);
  }
  out_ += produced;
  if (finished_ && expected_crc_ && (stored_ ? stored_crc_ : state_->crc) != *expected_crc_)
    fail("контрольная сумма части не сходится");
  if (!stored_ && !finished_) keep_point();
  return produced;
}

void MemberInflater::keep_point() {
  const auto& newest = kept_count_ ? kept_[(kept_count_ - 1) % kKept] : from_;
  if (out_ < (newest ? newest->out : 0) + kPointSpacing) return;
  auto point = std::make_shared<ResumePoint::State>();
  point->out = out_;
  point->in = in_ - state_->avail_in;
  const size_t held = kHeld + size_t(std::clamp<int32_t>(state_->tmp_out_valid, 0, kMaxHeldOutput));
  const auto* bytes = reinterpret_cast<const uint8_t*>(state_.get());
  point->inflater.assign(bytes, bytes + held);
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
