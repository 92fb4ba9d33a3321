#include "engine/xml/large_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <utility>

#include "engine/error.h"

namespace vers::engine::xml {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;

// Smaller buffers are not rounded up: a huge page would mostly stay empty.
constexpr size_t kMapFrom = size_t(1) << 20;

}  // namespace

LargeBuffer::LargeBuffer(size_t capacity) : capacity_(capacity) {
  if (capacity == 0) return;
  if (capacity >= kMapFrom) {
    // Whole huge pages, aligned to their size, from the heap: a buffer freed
    // and taken again in the same process then finds its pages in place.
    const size_t rounded = (capacity + kHugePage - 1) / kHugePage * kHugePage;
    data_ = static_cast<char*>(std::aligned_alloc(kHugePage, rounded));
#if defined(MADV_HUGEPAGE)
    if (data_) madvise(data_, rounded, MADV_HUGEPAGE);  // a hint: without it the pages are small
#endif
  } else {
    data_ = static_cast<char*>(std::malloc(capacity));
  }
  if (!data_) throw EngineError("Недостаточно памяти: не выделить " + std::to_string(capacity >> 20) + " МиБ");
}

LargeBuffer::~LargeBuffer() { release(); }

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

void LargeBuffer::release() {
  std::free(data_);
  data_ = nullptr;
  capacity_ = 0;
}

}  // namespace vers::engine::xml
