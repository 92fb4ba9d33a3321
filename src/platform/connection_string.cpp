#include "platform/connection_string.h"

#include "engine/case_fold.h"
#include "engine/error.h"
#include "platform/connection.h"

namespace vers::platform {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

[[noreturn]] void malformed(std::string_view text, std::string_view why) {
  throw engine::EngineError("Строка подключения «" + std::string(text) + "» записана неверно: " + std::string(why));
}

}  // namespace

ConnectionString ConnectionString::parse(std::string_view text) {
  ConnectionString result;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t equals = text.find_first_of("=;", pos);
    if (equals == std::string_view::npos || text[equals] == ';') {
      // Only blanks may stand between two ';' (an empty pair is skipped).
      size_t end = equals == std::string_view::npos ? text.size() : equals;
      if (!trim(text.substr(pos, end - pos)).empty()) malformed(text, "в паре «ключ=значение» нет знака «=»");
      pos = end + 1;
      continue;
    }
    std::string_view key = trim(text.substr(pos, equals - pos));
    if (key.empty()) malformed(text, "пустой ключ");
    pos = equals + 1;

    std::string value;
    size_t start = pos;
    while (start < text.size() && is_blank(text[start])) ++start;
    if (start < text.size() && text[start] == '{') {
      pos = start + 1;
      for (;;) {
        if (pos >= text.size()) malformed(text, "не закрыта фигурная скобка");
        if (text[pos] == '}') {
          if (pos + 1 < text.size() && text[pos + 1] == '}') {
            value.push_back('}');
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        value.push_back(text[pos++]);
      }
      while (pos < text.size() && is_blank(text[pos])) ++pos;
      if (pos < text.size() && text[pos] != ';') malformed(text, "после закрывающей скобки ожидается «;»");
    } else {
      size_t end = text.find(';', pos);
      if (end == std::string_view::npos) end = text.size();
      value = std::string(trim(text.substr(pos, end - pos)));
      pos = end;
    }
    ++pos;  // past the ';'
    result.pairs_.emplace_back(engine::fold_case(key), std::move(value));
  }
  return result;
}

std::optional<std::string> ConnectionString::value(std::string_view key) const {
  std::string folded = engine::fold_case(key);
  for (const auto& [k, v] : pairs_) {
    if (k == folded) return v;
  }
  return std::nullopt;
}

std::string quote_connection_value(std::string_view value) {
  bool needs_braces = value.find_first_of(";{}") != std::string_view::npos || trim(value).size() != value.size();
  if (!needs_braces) return std::string(value);
  std::string out = "{";
  for (char c : value) {
    out.push_back(c);
    if (c == '}') out.push_back('}');
  }
  out.push_back('}');
  return out;
}

std::string form_connection_string(std::string_view directory, std::string_view file_name) {
  std::string path = std::string(directory) + "/" + std::string(file_name);
  return "DSN=" + std::string(kDataSourceName) + ";DBQ=" + quote_connection_value(path) +
         ";DefaultDir=" + quote_connection_value(directory) + ";";
}

}  // namespace vers::platform
