// The program directory: the directory of the running executable, where the
// report and the manual live.
#pragma once

#include <string>
#include <string_view>

namespace vers::platform {

// The directory of the running executable, without a trailing '/' (the root
// is "/"). Empty when the system cannot say (no /proc).
std::string program_directory();

// A file in the program directory: program_directory() + "/" + name.
std::string program_file(std::string_view name);

}  // namespace vers::platform
