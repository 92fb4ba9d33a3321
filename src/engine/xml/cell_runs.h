// The cells met while a sheet's used area is found, kept within a bound so
// that reading an area of the same sheet right after needs no second pass
// over the sheet's XML.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>

#include "engine/workbook.h"

namespace vers::engine::xml {

// Grows area to hold run (sets it when empty).
void grow(std::optional<CellArea>& area, const CellArea& run);

// Copies value into the cells of grid (which holds grid_area) that lie in
// run as well.
void fill(CellGrid& grid, const CellArea& grid_area, const CellArea& run, const Value& value);

class CellRuns {
 public:
  // A non-empty value over the run of cells: grows the used area, and is
  // kept while the runs kept stay within the bound.
  void add(const CellArea& run, const Value& value);

  // The smallest area holding every run added.
  const std::optional<CellArea>& used() const { return used_; }

  // True while every run added is kept.
  bool complete() const { return complete_; }

  // The cells of an area (after check_area), from the runs kept; complete()
  // must hold.
  CellGrid grid(const CellArea& area) const;

 private:
  struct Run {
    CellArea area;
    Value value;
  };
  std::optional<CellArea> used_;
  std::deque<Run> runs_;  // grows without moving what it holds
  size_t text_bytes_ = 0;
  bool complete_ = true;
};

}  // namespace vers::engine::xml
