// Memory for the decrypted pieces of a workbook stream: fresh pages that
// read as zeros until written, of which only those written are ever made.
// A range about to be written is made in one call, rather than by a page
// fault at every page it touches: in a fresh process, those faults are a
// large part of the cost of decrypting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vers::engine::crypto {

class ZeroedPages {
 public:
  // Throws std::bad_alloc when the memory cannot be had.
  explicit ZeroedPages(size_t size);
  ~ZeroedPages();
  ZeroedPages(ZeroedPages&& other) noexcept;
  ZeroedPages& operator=(ZeroedPages&& other) noexcept;
  ZeroedPages(const ZeroedPages&) = delete;
  ZeroedPages& operator=(const ZeroedPages&) = delete;

  std::span<uint8_t> bytes() const { return {data_, size_}; }

  // Makes the pages of [from, to) ahead of writing to them. Where the
  // system cannot, they are made as they are touched, as before.
  void make(size_t from, size_t to);

 private:
  void release();

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t mapped_ = 0;
};

}  // namespace vers::engine::crypto
