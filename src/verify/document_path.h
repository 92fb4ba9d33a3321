// A Document path split into the directory and the file name that the
// workbook's connection string is built from.
#pragma once

#include <string>

namespace vers::verify {

// Split at the last '/': a workbook in a folder gives the folder without a
// trailing '/', one in the root gives "/"; a path without '/' gives an empty
// directory and the whole path as the file name. A ':' is an ordinary
// character in a file name here, not a separator.
struct DocumentPathParts {
  std::string directory;
  std::string file_name;
};
DocumentPathParts split_document_path(const std::string& path);

}  // namespace vers::verify
