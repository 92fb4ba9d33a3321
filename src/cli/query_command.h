// vers-check --query "STATEMENT" FILE: runs one statement over a workbook,
// through the same connection and query as a verification run, and prints
// the result as tab-separated lines.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vers::cli {

// The lines of --help that describe the mode.
std::string_view query_command_help();

// args: what follows "--query" (the statement and the file). Prints the
// column names, then one line per row; tab, line feed, carriage return and
// backslash in a value are written \t, \n, \r, \\; Null as nothing. Returns
// 0, or 2 after writing a failure's message to err (with the error box's
// full-stop rule).
int run_query_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vers::cli
