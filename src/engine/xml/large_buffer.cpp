#include "engine/xml/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>
#include <utility>

#include "engine/error.h"

namespace vers::engine::xml {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;

// Smaller buffers come from the heap: a huge page would mostly stay empty.
constexpr size_t kMapFrom = size_t(1) << 20;

}  // namespace

LargeBuffer::LargeBuffer(size_t capacity) : capacity_(capacity) {
  if (capacity == 0) return;
#if defined(MADV_HUGEPAGE)
  if (capacity >= kMapFrom) {
    // Whole huge pages, aligned to their size: one more page of slack to
    // align in.
    const size_t rounded = (capacity + kHugePage - 1) / kHugePage * kHugePage;
    mapped_ = rounded + kHugePage;
    void* mapping = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping != MAP_FAILED) {
      mapping_ = mapping;
      const auto start = (reinterpret_cast<uintptr_t>(mapping) + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
      data_ = reinterpret_cast<char*>(start);
      madvise(data_, rounded, MADV_HUGEPAGE);  // a hint: without it the pages are small
      return;
    }
    mapped_ = 0;
  }
#endif
  data_ = new (std::nothrow) char[capacity];
  if (!data_) throw EngineError("Недостаточно памяти: не выделить " + std::to_string(capacity >> 20) + " МиБ");
}

LargeBuffer::~LargeBuffer() { release(); }

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      mapped_(std::exchange(other.mapped_, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    mapping_ = std::exchange(other.mapping_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

void LargeBuffer::release() {
  if (mapping_) munmap(mapping_, mapped_);
  else delete[] data_;
  data_ = nullptr;
  mapping_ = nullptr;
  capacity_ = mapped_ = 0;
}

}  // namespace vers::engine::xml
