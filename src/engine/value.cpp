#include "engine/value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace vers::engine {

namespace {

// Prints the number into buf (64 bytes hold any double); returns the end.
char* print_number(double v, char* buf) {
  if (v == 0) {  // also folds -0
    *buf = '0';
    return buf + 1;
  }
  std::to_chars_result r;
  if (v == std::trunc(v) && std::fabs(v) < 0x1p63) {
    // Integral and within 64 bits, as most cells are: the same digits as the
    // fixed form below, printed by the much quicker integer conversion.
    r = std::to_chars(buf, buf + 64, static_cast<int64_t>(v));
  } else if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e21) {
    r = std::to_chars(buf, buf + 64, v, std::chars_format::fixed, 0);
  } else {
    r = std::to_chars(buf, buf + 64, v);
  }
  return r.ptr;
}

}  // namespace

std::string format_number(double v) {
  char buf[64];
  return std::string(buf, print_number(v, buf));
}

std::string to_text(const Value& v) {
  std::string out;
  append_text(v, out);
  return out;
}

void append_text(const Value& v, std::string& out) {
  switch (v.type()) {
    case Value::Type::Null: return;
    case Value::Type::Number: {
      char buf[64];
      out.append(buf, print_number(v.as_number(), buf));
      return;
    }
    case Value::Type::Text: out += v.as_text(); return;
    case Value::Type::Boolean: out += v.as_boolean() ? "TRUE" : "FALSE"; return;
  }
}

bool parse_number(std::string_view text, double& out) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  // from_chars accepts "inf" and "nan"; a form's text never means those.
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E' || c == '+')) return false;
  }
  double v = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || ptr != text.data() + text.size()) return false;
  out = v;
  return true;
}

}  // namespace vers::engine
