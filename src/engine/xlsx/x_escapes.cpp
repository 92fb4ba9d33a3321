#include "engine/xlsx/x_escapes.h"

#include "engine/codepage.h"

namespace vers::engine::xlsx {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads "_xHHHH_" at pos into unit.
bool escape_at(const std::string& text, size_t pos, char32_t& unit) {
  if (pos + 7 > text.size() || text[pos] != '_' || text[pos + 1] != 'x' || text[pos + 6] != '_') return false;
  unit = 0;
  for (size_t i = pos + 2; i < pos + 6; ++i) {
    const int d = hex_digit(text[i]);
    if (d < 0) return false;
    unit = unit * 16 + char32_t(d);
  }
  return true;
}

}  // namespace

void decode_x_escapes(std::string& text) {
  if (text.find("_x") == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    char32_t unit = 0;
    if (!escape_at(text, pos, unit)) {
      out += text[pos++];
      continue;
    }
    pos += 7;
    char32_t low = 0;
    if (unit >= 0xD800 && unit <= 0xDBFF && escape_at(text, pos, low) && low >= 0xDC00 && low <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      pos += 7;
    }
    append_utf8(out, unit);  // a lone surrogate becomes U+FFFD
  }
  text = std::move(out);
}

}  // namespace vers::engine::xlsx
