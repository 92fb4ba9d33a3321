// Reads the cell records of one worksheet substream: the used area and,
// when asked, the values inside one area. Records outside the area are
// passed over by their header and position, without decoding.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/biff/biff_version.h"
#include "engine/biff/shared_strings.h"
#include "engine/workbook.h"

namespace vers::engine::biff {

struct SheetSource {
  std::span<const uint8_t> stream;
  BiffVersion version = BiffVersion::Biff8;
  uint16_t codepage = 1252;
  const SharedStrings* strings = nullptr;
  const std::string* book = nullptr;
  const std::string* sheet = nullptr;
};

// Reads the substream whose BOF record is at offset, up to its EOF. Returns
// the used area: the smallest area holding every cell that has a value
// record (all cell records but BLANK and MULBLANK, which only format empty
// cells). When grid is given it must be sized for area; the values of the
// cells inside area are stored in it. Throws EngineError when the records
// are damaged.
std::optional<CellArea> read_sheet_cells(const SheetSource& source, uint32_t offset, const CellArea* area,
                                         CellGrid* grid);

// What one pass gives a table over an area whose clip to the used area
// (clip_to_used) is not known before the pass.
struct ClippedCells {
  std::optional<CellArea> used;
  std::optional<CellArea> clipped;
  // When complete, the values of the clipped area's cells. Not complete
  // when the pass had no place for a cell of the area (the sheet's
  // DIMENSIONS record, which lays the grid out before the first cell, was
  // missing, understated the extent or asked for more than budget cells) or
  // the clipped area has more than max_cells cells: reading the clipped
  // area again gives its values then.
  CellGrid grid;
  bool complete = false;
};

// The same pass as read_sheet_cells, giving the used area and, in most
// files, the values of area clipped to it. The grid is laid out from the
// extent the DIMENSIONS record states, clipped the same way, when that
// takes at most budget cells; it is fitted to the clipped area at the end.
ClippedCells read_clipped_sheet_cells(const SheetSource& source, uint32_t offset, const CellArea& area,
                                      uint64_t budget, uint64_t max_cells);

}  // namespace vers::engine::biff
