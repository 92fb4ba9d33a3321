#include "platform/heap_setup.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace vers::platform {

void prepare_heap(size_t warm_bytes) {
  // The largest threshold the allocator accepts for buffers taken from the
  // system's mappings: a grid or a stream copy of a large sheet stays in
  // the heap and is reused.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  if (warm_bytes == 0) return;
  void* block = std::malloc(warm_bytes);
  if (!block) return;
  const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + page - 1) / page * page;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + warm_bytes) / page * page;
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
  std::free(block);  // back to the heap's top, present, for what comes next
}

}  // namespace vers::platform
