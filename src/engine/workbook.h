// A workbook as the tables see it: sheets, workbook-wide defined names and
// the cell values of a rectangular area. Each file format has its reader
// behind this interface; nothing above it knows the format.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace vers::engine {

// A rectangle of cells, 0-based, bounds inclusive.
struct CellArea {
  uint32_t first_row = 0;
  uint32_t first_col = 0;
  uint32_t last_row = 0;
  uint32_t last_col = 0;

  uint32_t rows() const { return last_row - first_row + 1; }
  uint32_t cols() const { return last_col - first_col + 1; }
  friend bool operator==(const CellArea&, const CellArea&) = default;
};

// What a workbook-wide defined name refers to.
struct DefinedName {
  enum class Kind {
    Area,           // one rectangular area of one sheet of this workbook
    MultipleAreas,  // a list or union of areas, or an area across sheets
    External,       // an area of another workbook
    Other,          // a constant, a formula, or a reference we cannot read
  };
  std::string name;
  Kind kind = Kind::Other;
  size_t sheet = 0;  // for Area: index into Workbook::sheet_names()
  CellArea area;     // for Area
};

// Cell values of an area, row by row.
struct CellGrid {
  uint32_t rows = 0;
  uint32_t cols = 0;
  std::vector<Value> cells;  // rows * cols, row-major; empty cells are Null

  const Value& at(uint32_t row, uint32_t col) const { return cells[size_t(row) * cols + col]; }
};

// area clipped on the right and at the bottom to a sheet's used area, its
// first row and column kept: cells past the sheet's last cell hold nothing.
// Nothing when no cell is left (or the sheet has none).
std::optional<CellArea> clip_to_used(const CellArea& area, const std::optional<CellArea>& used);

// An area clipped so, and the values of its cells.
struct ClippedArea {
  CellArea area;
  CellGrid grid;  // empty when the clipped area has more cells than asked for
};

class Workbook {
 public:
  virtual ~Workbook() = default;

  // Sheet names in workbook order, hidden sheets included.
  virtual const std::vector<std::string>& sheet_names() const = 0;

  // Workbook-wide defined names, in the order the file lists them.
  virtual const std::vector<DefinedName>& defined_names() const = 0;

  // The smallest area that holds every non-empty cell of the sheet, or
  // nothing for a sheet without cells.
  virtual std::optional<CellArea> used_area(size_t sheet) = 0;

  // The values of the cells inside the area (which may reach past the used
  // area: those cells are Null). Throws EngineError when the sheet's data is
  // damaged.
  virtual CellGrid read_area(size_t sheet, const CellArea& area) = 0;

  // The area clipped to the sheet's used area (see clip_to_used) and, when
  // it has at most max_cells cells, their values: what a table over a
  // defined name needs. By default used_area, then read_area; a reader
  // that finds the used area while it reads cells may do both at once.
  // Throws EngineError as read_area does.
  virtual std::optional<ClippedArea> read_clipped_area(size_t sheet, const CellArea& area, uint64_t max_cells);
};

// Opens the workbook at path, recognising its format by content. Throws
// EngineError, naming the file, when it is missing, unreadable, empty, not a
// workbook, damaged, or protected by a password.
std::unique_ptr<Workbook> open_workbook(const std::string& path);

// The same for a workbook already in memory (the fuzzer and tests use it);
// display_name stands for the file in messages.
std::unique_ptr<Workbook> open_workbook_bytes(std::vector<uint8_t> bytes, const std::string& display_name);

}  // namespace vers::engine
