#include "platform/program_dir.h"

#include <unistd.h>

#include <vector>

namespace vers::platform {

std::string program_directory() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) {
      std::string exe(buf.data(), static_cast<size_t>(n));
      size_t slash = exe.rfind('/');
      if (slash == std::string::npos) return {};
      return slash == 0 ? "/" : exe.substr(0, slash);
    }
    buf.resize(buf.size() * 2);
  }
}

std::string program_file(std::string_view name) {
  std::string dir = program_directory();
  if (dir.empty() || dir.back() != '/') dir += '/';
  dir += name;
  return dir;
}

}  // namespace vers::platform
