#include "engine/xml/a1_reference.h"

#include <algorithm>

namespace vers::engine::xml {

std::optional<A1Point> parse_a1_point(std::string_view text) {
  size_t pos = 0;
  A1Point point;
  if (pos < text.size() && text[pos] == '$') ++pos;
  uint64_t col = 0;
  size_t letters = 0;
  for (; pos < text.size(); ++pos, ++letters) {
    char c = text[pos];
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (c < 'A' || c > 'Z' || letters == 3) break;
    col = col * 26 + uint64_t(c - 'A' + 1);
  }
  if (letters > 0) {
    if (col > kMaxColumns) return std::nullopt;
    point.col = uint32_t(col - 1);
  }
  if (pos < text.size() && text[pos] == '$') {
    if (letters == 0 && pos > 0) return std::nullopt;  // "$$7"
    ++pos;
  }
  uint64_t row = 0;
  size_t digits = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 9; ++pos, ++digits)
    row = row * 10 + uint64_t(text[pos] - '0');
  if (digits > 0) {
    if (row == 0 || row > kMaxRows) return std::nullopt;
    point.row = uint32_t(row - 1);
  }
  if (pos != text.size() || (letters == 0 && digits == 0)) return std::nullopt;
  return point;
}

bool parse_a1_cell(std::string_view text, uint32_t& row, uint32_t& col) {
  const auto point = parse_a1_point(text);
  if (!point || !point->row || !point->col) return false;
  row = *point->row;
  col = *point->col;
  return true;
}

std::optional<CellArea> make_a1_area(const A1Point& first, const std::optional<A1Point>& last,
                                     uint32_t sheet_rows) {
  if (!last) {
    if (!first.row || !first.col) return std::nullopt;
    return CellArea{*first.row, *first.col, *first.row, *first.col};
  }
  // Both ends must be of one kind: cells, whole columns, or whole rows.
  if (first.row.has_value() != last->row.has_value() || first.col.has_value() != last->col.has_value())
    return std::nullopt;
  const uint32_t r1 = first.row.value_or(0), r2 = last->row.value_or(sheet_rows - 1);
  const uint32_t c1 = first.col.value_or(0), c2 = last->col.value_or(kMaxColumns - 1);
  return CellArea{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
}

bool read_quoted_name(std::string_view text, size_t& pos, std::string& name) {
  if (pos >= text.size() || text[pos] != '\'') return false;
  std::string out;
  for (size_t i = pos + 1; i < text.size(); ++i) {
    if (text[i] != '\'') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\'') {
      out += '\'';
      ++i;
    } else {
      pos = i + 1;
      name = std::move(out);
      return true;
    }
  }
  return false;
}

size_t find_unquoted(std::string_view text, char c, size_t pos) {
  bool quoted = false;
  for (; pos < text.size(); ++pos) {
    if (text[pos] == '\'') quoted = !quoted;  // '' inside quotes toggles twice
    else if (!quoted && text[pos] == c) return pos;
  }
  return std::string_view::npos;
}

}  // namespace vers::engine::xml
