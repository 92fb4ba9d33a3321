// Finds the places of one byte in a run of bytes, in order: 64 bytes are
// compared at a time into a mask of where the byte is, so a scan that
// stops at each of many close places (every '<' of a sheet's markup) costs
// little more than a pass over the bytes.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vers::engine::xml {

class ByteFinder {
 public:
  ByteFinder(const char* begin, const char* end, char byte) : end_(end), byte_(byte), block_(begin) {
    load(begin);
  }

  // The first place of the byte at or after from, or nullptr when there is
  // none before the end. Calls go forward: from is never before the start
  // of the block of the place returned last.
  const char* next(const char* from) {
    for (;;) {
      if (from >= end_) return nullptr;
      if (from >= block_ + 64) {
        load(from);
      } else {
        const unsigned skip = unsigned(from - block_);
        if (skip > 0) mask_ &= ~uint64_t(0) << skip;
      }
      if (mask_) return block_ + __builtin_ctzll(mask_);
      from = block_ + 64;
    }
  }

 private:
  void load(const char* at) {
    block_ = at;
    mask_ = 0;
    if (end_ - at >= 64) {
#if defined(__SSE2__)
      const __m128i wanted = _mm_set1_epi8(byte_);
      for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * i));
        const uint64_t bits = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
        mask_ |= bits << (16 * i);
      }
      return;
#endif
    }
    const int n = end_ - at < 64 ? int(end_ - at) : 64;
    for (int i = 0; i < n; ++i)
      if (at[i] == byte_) mask_ |= uint64_t(1) << i;
  }

  const char* end_;
  char byte_;
  const char* block_;  // the 64 bytes that mask_ covers start here
  uint64_t mask_ = 0;
};

}  // namespace vers::engine::xml
