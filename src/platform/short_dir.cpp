#include "platform/short_dir.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace vers::platform {

std::string short_directory(const std::string& dir) {
  if (dir.empty()) return {};
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(dir.c_str(), nullptr), &std::free);
  if (!resolved) return {};
  struct stat st;
  if (::stat(resolved.get(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  return resolved.get();
}

}  // namespace vers::platform
