#include "engine/crypto/zeroed_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <utility>

namespace vers::engine::crypto {

ZeroedPages::ZeroedPages(size_t size) : size_(size), mapped_(std::max<size_t>(size, 1)) {
  // An anonymous mapping: the system hands its pages over zeroed as they
  // are first touched, and takes them back whole when it is unmapped.
  void* pages = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages == MAP_FAILED) throw std::bad_alloc();
  data_ = static_cast<uint8_t*>(pages);
}

ZeroedPages::~ZeroedPages() { release(); }

ZeroedPages::ZeroedPages(ZeroedPages&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

ZeroedPages& ZeroedPages::operator=(ZeroedPages&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

void ZeroedPages::make(size_t from, size_t to) {
#ifdef MADV_POPULATE_WRITE
  to = std::min(to, size_);
  if (from >= to) return;
  static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t first = from / page * page;
  // A system that does not know the advice refuses it; the pages then come
  // as they are touched.
  ::madvise(data_ + first, to - first, MADV_POPULATE_WRITE);
#else
  (void)from;
  (void)to;
#endif
}

void ZeroedPages::release() {
  if (data_) ::munmap(data_, mapped_);
  data_ = nullptr;
}

}  // namespace vers::engine::crypto
