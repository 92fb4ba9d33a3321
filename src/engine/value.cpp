#include "engine/value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace vers::engine {

std::string format_number(double v) {
  if (v == 0) return "0";  // also folds -0
  char buf[64];
  std::to_chars_result r;
  if (v == std::trunc(v) && std::fabs(v) < 0x1p63) {
    // Integral and within 64 bits, as most cells are: the same digits as the
    // fixed form below, printed by the much quicker integer conversion.
    r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(v));
  } else if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e21) {
    r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 0);
  } else {
    r = std::to_chars(buf, buf + sizeof buf, v);
  }
  return std::string(buf, r.ptr);
}

std::string to_text(const Value& v) {
  switch (v.type()) {
    case Value::Type::Null: return {};
    case Value::Type::Number: return format_number(v.as_number());
    case Value::Type::Text: return v.as_text();
    case Value::Type::Boolean: return v.as_boolean() ? "TRUE" : "FALSE";
  }
  return {};
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
