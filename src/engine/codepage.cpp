#include "engine/codepage.h"

#include <array>
#include <unordered_map>

namespace vers::engine {
namespace {

struct CodepageTable {
  uint16_t number;
  std::array<uint16_t, 128> upper;
};

const CodepageTable kTables[] = {
#include "engine/codepage_tables.inc"
};

const CodepageTable* find_table(uint16_t codepage) {
  for (const auto& t : kTables)
    if (t.number == codepage) return &t;
  return nullptr;
}

}  // namespace

void append_utf8(std::string& out, char32_t c) {
  if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
  if (c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool is_known_codepage(uint16_t codepage) {
  return codepage == 1200 || codepage == 367 || find_table(codepage) != nullptr;
}

std::string decode_codepage(std::string_view bytes, uint16_t codepage) {
  std::string out;
  out.reserve(bytes.size() * 2);
  const CodepageTable* table = find_table(codepage);
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else if (codepage == 1200) {
      append_utf8(out, b);
    } else if (table && table->upper[b - 0x80] != 0) {
      append_utf8(out, table->upper[b - 0x80]);
    } else {
      append_utf8(out, 0xFFFD);
    }
  }
  return out;
}

std::string decode_utf16le(const uint8_t* data, size_t units) {
  std::string out;
  out.reserve(units * 2);
  for (size_t i = 0; i < units; ++i) {
    char32_t u = data[2 * i] | (data[2 * i + 1] << 8);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      char32_t low = data[2 * i + 2] | (data[2 * i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    append_utf8(out, u);  // a lone surrogate becomes U+FFFD there
  }
  return out;
}

std::string decode_latin1(const uint8_t* data, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) append_utf8(out, data[i]);
  return out;
}

char32_t next_code_point(std::string_view s, size_t& pos) {
  const unsigned char lead = s[pos];
  size_t extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : 4;
  if (extra == 0) {
    ++pos;
    return lead;
  }
  if (extra == 4 || extra >= s.size() - pos) {  // not a lead byte, or cut short
    ++pos;
    return 0xFFFD;
  }
  char32_t c = lead & (0x3F >> extra);
  for (size_t i = 1; i <= extra; ++i) {
    const unsigned char cont = s[pos + i];
    if ((cont & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    c = (c << 6) | (cont & 0x3F);
  }
  pos += extra + 1;
  return c;
}

std::string encode_windows1251(std::string_view utf8) {
  static const std::unordered_map<char32_t, unsigned char> reverse = [] {
    std::unordered_map<char32_t, unsigned char> m;
    const CodepageTable* t = find_table(1251);
    for (int i = 0; i < 128; ++i)
      if (t->upper[i] != 0) m.emplace(t->upper[i], static_cast<unsigned char>(0x80 + i));
    return m;
  }();
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t c = next_code_point(utf8, pos);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    auto it = reverse.find(c);
    out += it != reverse.end() ? static_cast<char>(it->second) : '?';
  }
  return out;
}

}  // namespace vers::engine
