#include "engine/xml/cell_runs.h"

#include <algorithm>

#include "engine/xml/limits.h"

namespace vers::engine::xml {
namespace {

// What the runs of one sheet may hold: beyond it, the area is read again.
constexpr size_t kMaxRuns = size_t(1) << 18;
constexpr size_t kMaxTextBytes = size_t(16) << 20;

}  // namespace

void fill(CellGrid& grid, const CellArea& grid_area, const CellArea& run, const Value& value) {
  const uint32_t r1 = std::max(run.first_row, grid_area.first_row), r2 = std::min(run.last_row, grid_area.last_row);
  const uint32_t c1 = std::max(run.first_col, grid_area.first_col), c2 = std::min(run.last_col, grid_area.last_col);
  if (r1 > r2 || c1 > c2) return;
  for (uint32_t r = r1;; ++r) {
    for (uint32_t c = c1;; ++c) {
      grid.cells[size_t(r - grid_area.first_row) * grid.cols + (c - grid_area.first_col)] = value;
      if (c == c2) break;  // c2 may be the largest uint32_t
    }
    if (r == r2) break;
  }
}

void grow(std::optional<CellArea>& area, const CellArea& run) {
  if (!area) {
    area = run;
    return;
  }
  area->first_row = std::min(area->first_row, run.first_row);
  area->first_col = std::min(area->first_col, run.first_col);
  area->last_row = std::max(area->last_row, run.last_row);
  area->last_col = std::max(area->last_col, run.last_col);
}

void CellRuns::add(const CellArea& run, const Value& value) {
  grow(used_, run);
  if (!complete_) return;
  if (value.is_text()) text_bytes_ += value.as_text().size();
  if (runs_.size() >= kMaxRuns || text_bytes_ > kMaxTextBytes) {
    complete_ = false;
    runs_ = {};
    return;
  }
  runs_.push_back({run, value});
}

CellGrid CellRuns::grid(const CellArea& area) const {
  CellGrid grid = empty_grid(area);
  for (const Run& run : runs_) fill(grid, area, run.area, run.value);
  return grid;
}

}  // namespace vers::engine::xml
