// Cell references in A1 notation as the XML workbook formats write them
// ("B7", "$B$7", "$A:$C", "$2:$5"), 0-based once read. Dollar signs are
// accepted and ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/workbook.h"

namespace vers::engine::xml {

// The largest sheet either format describes: LibreOffice's biggest sheets
// have 16,384 columns and 16,777,216 rows.
constexpr uint32_t kMaxColumns = 16384;
constexpr uint32_t kMaxRows = 1u << 24;

// One end of a reference: a cell, or a whole column or row.
struct A1Point {
  std::optional<uint32_t> row;
  std::optional<uint32_t> col;
};

// Reads the whole text as one point ("$B$7", "B", "7"); nothing when it is
// not one or lies outside the largest sheet.
std::optional<A1Point> parse_a1_point(std::string_view text);

// Reads the whole text as one cell with both row and column ("B7").
bool parse_a1_cell(std::string_view text, uint32_t& row, uint32_t& col);

// Makes an area of two points ("A1:C3", "$A:$C", "$2:$5"), or of one cell
// when last is absent; a whole column reaches down to row sheet_rows.
// Nothing when the points do not make an area.
std::optional<CellArea> make_a1_area(const A1Point& first, const std::optional<A1Point>& last,
                                     uint32_t sheet_rows = kMaxRows);

// Reads a sheet name in single quotes at pos ('It''s' is "It's") and
// advances pos past the closing quote. False when the text at pos is not
// such a name.
bool read_quoted_name(std::string_view text, size_t& pos, std::string& name);

// Finds the first c at or after pos that is not inside single quotes;
// npos when there is none.
size_t find_unquoted(std::string_view text, char c, size_t pos = 0);

}  // namespace vers::engine::xml
