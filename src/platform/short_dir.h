// The directory form that goes into a workbook's connection string. Linux
// file systems have no short (8.3) names; the directory's canonical absolute
// path stands in for one.
#pragma once

#include <string>

namespace vers::platform {

// The canonical absolute path of an existing directory (symbolic links
// resolved, no trailing '/' except for the root). Empty when dir is empty,
// does not exist or is not a directory: "the file system gives none".
std::string short_directory(const std::string& dir);

}  // namespace vers::platform
