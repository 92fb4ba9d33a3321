// vers-check [--report FILE] [--open] PATH...: the verification run over the
// workbooks named on the command line, all ticked, in the order given.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/regional_time.h"
#include "platform/shell.h"

namespace vers::cli {

// The lines of --help that describe the mode.
std::string_view batch_command_help();

// What the command takes from its surroundings; main gives the real ones.
struct BatchEnvironment {
  platform::Shell& shell;        // used only with --open
  platform::Clock& clock;
  platform::RegionalTime regional_time;
  std::string default_report;    // Errors.txt in the program directory
  std::string working_directory; // relative paths are made absolute against it
  bool progress = false;         // a progress line on err (err is a terminal)
};

// A relative path made absolute against dir, then "." and ".." resolved
// lexically (symbolic links are left alone), as a file dialog returns it.
std::string absolute_document_path(const std::string& path, const std::string& dir);

// Runs the mode. Writes one line per document and a summary to out;
// messages and failures to err. Returns 0 when every document is known and
// passed every check, 1 when one has failed checks or is unknown, 2 when a
// failure ended the run, nothing was given to check, or the command line is
// wrong.
int run_batch_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      BatchEnvironment& env);

}  // namespace vers::cli
