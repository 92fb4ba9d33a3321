// Bounds that keep a hostile workbook from growing memory without end.
#pragma once

#include <string>

#include "engine/workbook.h"

namespace vers::engine::xml {

// The most cells one read_area call returns: a grid of Values is allocated
// for the whole area, so a larger request is refused instead.
constexpr uint64_t kMaxAreaCells = 4'000'000;

// The longest text of one cell: no spreadsheet writes more, and a stream of
// tiny elements that each add text must not grow memory without end.
constexpr size_t kMaxCellText = size_t(32) << 20;

// Throws EngineError naming what when a cell's text grows past kMaxCellText.
void check_cell_text(size_t size, const std::string& what);

// Throws EngineError naming the file and sheet when the area is larger than
// kMaxAreaCells or its bounds are reversed.
void check_area(const CellArea& area, const std::string& file, const std::string& sheet);

// A grid of Nulls of the area's size (after check_area).
CellGrid empty_grid(const CellArea& area);

}  // namespace vers::engine::xml
