// vers-check: the command-line face of the checker. Each mode is a function
// of its arguments and streams; main only picks one.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/batch_command.h"
#include "cli/query_command.h"
#include "platform/clock.h"
#include "platform/heap_setup.h"
#include "platform/program_dir.h"
#include "platform/regional_time.h"
#include "platform/shell.h"

namespace {

void print_help(std::ostream& out) {
  out << "vers-check - проверка форм отчётности по формулам логического и арифметического контроля\n\n"
         "Использование:\n"
      << vers::cli::batch_command_help() << vers::cli::query_command_help()
      << "  vers-check --help\n"
         "      Эта справка.\n";
}

}  // namespace

int main(int argc, char** argv) {
  vers::platform::prepare_heap(vers::platform::kCheckHeapBytes);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--query") {
    return vers::cli::run_query_command({args.begin() + 1, args.end()}, std::cout, std::cerr);
  }
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    print_help(std::cout);
    return 0;
  }
  vers::platform::DesktopShell shell;
  vers::platform::SystemClock clock;
  std::error_code no_cwd;
  vers::cli::BatchEnvironment env{shell, clock, vers::platform::RegionalTime(),
                                  vers::platform::program_file("Errors.txt"),
                                  std::filesystem::current_path(no_cwd).string(), isatty(STDERR_FILENO) == 1};
  return vers::cli::run_batch_command(args, std::cout, std::cerr, env);
}
