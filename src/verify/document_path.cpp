#include "verify/document_path.h"

namespace vers::verify {

DocumentPathParts split_document_path(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  // The separator is dropped from the directory unless it is the first
  // character or follows another separator, so that the root keeps it.
  bool drop = slash > 0 && path[slash - 1] != '/';
  return {path.substr(0, drop ? slash : slash + 1), path.substr(slash + 1)};
}

}  // namespace vers::verify
