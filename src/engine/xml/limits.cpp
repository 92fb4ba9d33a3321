#include "engine/xml/limits.h"

#include "engine/error.h"

namespace vers::engine::xml {

void check_area(const CellArea& area, const std::string& file, const std::string& sheet) {
  if (area.last_row < area.first_row || area.last_col < area.first_col)
    throw EngineError("Книга «" + file + "», лист «" + sheet + "»: неверная область ячеек");
  const uint64_t rows = uint64_t(area.last_row) - area.first_row + 1;
  const uint64_t cols = uint64_t(area.last_col) - area.first_col + 1;
  if (rows * cols > kMaxAreaCells)
    throw EngineError("Книга «" + file + "», лист «" + sheet + "»: область больше " +
                      std::to_string(kMaxAreaCells) + " ячеек не читается");
}

void check_cell_text(size_t size, const std::string& what) {
  if (size > kMaxCellText)
    throw EngineError("Файл " + what + " не читается: текст ячейки длиннее " + std::to_string(kMaxCellText >> 20) +
                      " МиБ");
}

CellGrid empty_grid(const CellArea& area) {
  CellGrid grid;
  grid.rows = area.rows();
  grid.cols = area.cols();
  grid.cells.resize(size_t(grid.rows) * grid.cols);
  return grid;
}

}  // namespace vers::engine::xml
