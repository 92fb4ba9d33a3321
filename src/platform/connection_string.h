// Connection strings: key=value pairs joined by ';'. A value may be enclosed
// in braces, with "}}" inside standing for '}', so that it can hold ';' or
// blanks at its ends. Keys compare case-insensitively; blanks around a key,
// and around a value without braces, are not part of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vers::platform {

class ConnectionString {
 public:
  // Throws engine::EngineError for a pair without '=', an empty key, or an
  // unclosed brace.
  static ConnectionString parse(std::string_view text);

  // The value of the first pair with this key; nothing when there is none.
  std::optional<std::string> value(std::string_view key) const;

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;  // keys folded to lower case
};

// A value as a connection string must carry it: enclosed in braces (with
// '}' doubled) when it holds ';', '{' or '}' or begins or ends with a
// blank, as written otherwise.
std::string quote_connection_value(std::string_view value);

// The connection string of a form workbook: "DSN=DataVELM;DBQ=<directory>/
// <file name>;DefaultDir=<directory>;", each value quoted as above.
std::string form_connection_string(std::string_view directory, std::string_view file_name);

}  // namespace vers::platform
