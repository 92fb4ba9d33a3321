#include "engine/case_fold.h"

#include "engine/codepage.h"

namespace vers::engine {

char32_t fold_code_point(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;   // À..Þ except ×
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;            // А..Я
  if (c >= 0x0400 && c <= 0x040F) return c + 0x50;            // Ѐ..Џ, Ё among them
  // Further Cyrillic letters (Ґ, Ѣ, Ѳ, Ӑ ...) come in upper/lower pairs.
  bool paired = (c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x04FF);
  if (paired && c % 2 == 0) return c + 1;
  return c;
}

std::string fold_case(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    unsigned char byte = static_cast<unsigned char>(utf8[pos]);
    if (byte < 0x80) {  // the common case, without decoding
      out.push_back(static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte));
      ++pos;
      continue;
    }
    append_utf8(out, fold_code_point(next_code_point(utf8, pos)));
  }
  return out;
}

int compare_ignoring_case(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const unsigned char ba = static_cast<unsigned char>(a[i]), bb = static_cast<unsigned char>(b[j]);
    if (ba < 0x80 && bb < 0x80) {  // names and most texts are ASCII: no decoding
      const char32_t ca = fold_code_point(ba), cb = fold_code_point(bb);
      if (ca != cb) return ca < cb ? -1 : 1;
      ++i;
      ++j;
      continue;
    }
    char32_t ca = fold_code_point(next_code_point(a, i));
    char32_t cb = fold_code_point(next_code_point(b, j));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace vers::engine
