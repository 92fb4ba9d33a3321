#include "engine/workbook.h"

#include <algorithm>

namespace vers::engine {

std::optional<CellArea> clip_to_used(const CellArea& area, const std::optional<CellArea>& used) {
  if (!used || area.first_row > used->last_row || area.first_col > used->last_col) return std::nullopt;
  CellArea clipped = area;
  clipped.last_row = std::min(area.last_row, used->last_row);
  clipped.last_col = std::min(area.last_col, used->last_col);
  return clipped;
}

std::optional<ClippedArea> Workbook::read_clipped_area(size_t sheet, const CellArea& area, uint64_t max_cells) {
  const std::optional<CellArea> clipped = clip_to_used(area, used_area(sheet));
  if (!clipped) return std::nullopt;
  ClippedArea out{*clipped, {}};
  if (uint64_t(clipped->rows()) * clipped->cols() <= max_cells) out.grid = read_area(sheet, *clipped);
  return out;
}

}  // namespace vers::engine
