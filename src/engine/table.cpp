#include "engine/table.h"

#include <algorithm>

#include "engine/case_fold.h"
#include "engine/error.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

// A table held in memory costs a Value per cell: bound what one may cost.
constexpr uint64_t kMaxTableCells = 4'000'000;

std::string quoted(std::string_view name) { return "«" + std::string(name) + "»"; }

struct Source {
  std::string name;
  size_t sheet = 0;
  std::optional<CellArea> area;  // nothing: no cells at all
  // The area is a defined name's, still to be clipped to the used area on
  // the right and at the bottom: cells past the sheet's last cell hold
  // nothing, so a name over a whole sheet costs only what its data costs.
  // The rows and columns clipped away are not part of the table (a column
  // past the data would only ever hold Nulls).
  bool clip = false;
};

const DefinedName* find_defined_name(Workbook& workbook, std::string_view name) {
  for (const DefinedName& defined : workbook.defined_names()) {
    if (equal_ignoring_case(defined.name, name)) return &defined;
  }
  return nullptr;
}

// A whole sheet, written "Sheet$" (the brackets of "[Sheet$]" removed).
std::optional<Source> find_sheet(Workbook& workbook, std::string_view name) {
  if (name.size() < 2 || name.back() != '$') return std::nullopt;
  std::string_view sheet_name = name.substr(0, name.size() - 1);
  const std::vector<std::string>& sheets = workbook.sheet_names();
  for (size_t i = 0; i < sheets.size(); ++i) {
    if (equal_ignoring_case(sheets[i], sheet_name)) return Source{sheets[i] + "$", i, workbook.used_area(i)};
  }
  return std::nullopt;
}

Source find_source(Workbook& workbook, std::string_view name) {
  if (const DefinedName* defined = find_defined_name(workbook, name)) {
    if (defined->kind != DefinedName::Kind::Area) {
      throw EngineError("Имя " + quoted(defined->name) +
                        " не может служить таблицей: оно ссылается не на одну область листа этой книги");
    }
    if (defined->sheet >= workbook.sheet_names().size()) {
      throw EngineError("Имя " + quoted(defined->name) + " ссылается на несуществующий лист");
    }
    return Source{defined->name, defined->sheet, defined->area, true};
  }
  if (std::optional<Source> sheet = find_sheet(workbook, name)) return *sheet;
  throw EngineError("В книге нет таблицы " + quoted(name) + ": нет ни такого имени, ни такого листа");
}

std::string column_name(const Value& header, uint32_t position) {
  std::string text = to_text(header);
  return text.empty() ? "F" + std::to_string(position) : text;
}

}  // namespace

TableRows::TableRows(const std::vector<std::vector<Value>>& rows) : width_(rows.empty() ? 0 : rows[0].size()) {
  block_.reserve(rows.size() * width_);
  for (const std::vector<Value>& row : rows) block_.insert(block_.end(), row.begin(), row.end());
  if (width_ == 0) block_.clear();
}

TableRows::TableRows(std::vector<Value> block, size_t width, size_t skipped_rows)
    : block_(std::move(block)), width_(width), first_(std::min(block_.size(), skipped_rows * width)) {}

bool operator==(const TableRows& a, const TableRows& b) {
  if (a.size() != b.size()) return false;
  if (a.size() == 0) return true;
  return a.width_ == b.width_ && std::equal(a.block_.begin() + ptrdiff_t(a.first_), a.block_.end(),
                                            b.block_.begin() + ptrdiff_t(b.first_), b.block_.end());
}

Table load_table(Workbook& workbook, std::string_view name) {
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  Source source = find_source(workbook, name);

  Table table;
  table.name = source.name;
  if (!source.area) return table;

  auto check_size = [&](const CellArea& area) {
    const uint64_t cells = uint64_t(area.rows()) * area.cols();
    if (cells > kMaxTableCells) {
      throw EngineError("Таблица " + quoted(table.name) + " слишком велика: " + std::to_string(cells) +
                        " ячеек, допускается не более " + std::to_string(kMaxTableCells));
    }
  };
  CellArea area = *source.area;
  CellGrid grid;
  if (source.clip) {
    std::optional<ClippedArea> clipped = workbook.read_clipped_area(source.sheet, area, kMaxTableCells);
    if (!clipped) return table;
    area = clipped->area;
    check_size(area);
    grid = std::move(clipped->grid);
  } else {
    check_size(area);
    grid = workbook.read_area(source.sheet, area);
  }
  const uint64_t cells = uint64_t(area.rows()) * area.cols();
  if (grid.rows != area.rows() || grid.cols != area.cols() || grid.cells.size() != cells) {
    throw EngineError("Таблица " + quoted(table.name) + " прочитана не полностью");
  }
  table.columns.reserve(grid.cols);
  for (uint32_t c = 0; c < grid.cols; ++c) table.columns.push_back(column_name(grid.at(0, c), c + 1));
  table.rows = TableRows(std::move(grid.cells), grid.cols, 1);  // the header row is not a record
  return table;
}

}  // namespace vers::engine
