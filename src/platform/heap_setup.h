// The process's heap, set up once at start for checking workbooks one after
// another: each check allocates up to a few megabytes and frees them at its
// end, and the next one needs the same again.
#pragma once

#include <cstddef>

namespace vers::platform {

// Keeps freed memory in the heap for the next check instead of handing it
// back to the system (which costs a page-table flush then and a page fault
// per page when it is taken again), takes large buffers from the heap too,
// and makes the first warm_bytes of the heap present in one step instead
// of a fault per page. Call before anything else allocates much. Memory
// then stays at the largest check's need; it does not grow with the number
// of checks.
void prepare_heap(size_t warm_bytes);

// About what checking a large form (a few megabytes of .xls) takes from
// the heap at its peak.
inline constexpr size_t kCheckHeapBytes = size_t{1} << 20;

}  // namespace vers::platform
