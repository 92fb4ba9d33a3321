// Bytes kept whole in memory for as long as a reader needs them, such as a
// large member's XML. Large buffers are aligned to whole huge pages and
// marked for them: the kernel then backs each 2 MiB with one page, so
// filling fresh memory costs a page fault per 2 MiB instead of one per 4 KiB.
#pragma once

#include <cstddef>
#include <string_view>

namespace vers::engine::xml {

class LargeBuffer {
 public:
  LargeBuffer() = default;
  // Room for capacity bytes; throws EngineError when there is no memory.
  explicit LargeBuffer(size_t capacity);
  ~LargeBuffer();
  LargeBuffer(LargeBuffer&& other) noexcept;
  LargeBuffer& operator=(LargeBuffer&& other) noexcept;
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  char* data() { return data_; }
  const char* data() const { return data_; }
  size_t capacity() const { return capacity_; }

 private:
  void release();

  char* data_ = nullptr;
  size_t capacity_ = 0;
};

}  // namespace vers::engine::xml
