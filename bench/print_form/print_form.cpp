// Prints the lines of one form check (see form_check.h), the same lines as
// bench/*_reference.py print, so that the whole process can be timed
// against theirs. Linked as vers-check is, without the benchmark library.
//
//   vers_print_form WORKBOOK
#include <cstdio>
#include <string>

#include "../form_check.h"
#include "engine/error.h"
#include "platform/heap_setup.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vers_print_form WORKBOOK\n");
    return 2;
  }
  vers::platform::prepare_heap(vers::platform::kCheckHeapBytes);  // as vers-check does
  try {
    vers_bench::check_form(argv[1], [](std::string&& line) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
    });
  } catch (const vers::engine::EngineError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
