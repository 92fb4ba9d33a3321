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

}  // namespace vers::engine::biff
