// Feeds arbitrary bytes to the workbook engine as a workbook file and walks
// everything a run could touch: each sheet's used area, read in a bounded
// window, the table of each defined name, and a statement over the first
// of those tables. EngineError is the one
// accepted failure; any other exception, a crash or a sanitizer report is a
// finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/statement/evaluate.h"
#include "engine/statement/parser.h"
#include "engine/statement/row_cursor.h"
#include "engine/table.h"
#include "engine/workbook.h"

namespace {

using vers::engine::CellArea;
using vers::engine::EngineError;
using vers::engine::RowCursor;
using vers::engine::Table;
using vers::engine::Workbook;

// A sheet may honestly span the whole grid with two cells; the fuzzer reads a
// corner of it so that one input stays fast.
constexpr uint32_t kMaxCols = 256;
constexpr uint32_t kMaxCells = 1 << 14;

CellArea bounded(const CellArea& used) {
  CellArea area = used;
  area.last_col = used.first_col + std::min(used.cols(), kMaxCols) - 1;
  const uint32_t rows = std::max<uint32_t>(1, kMaxCells / area.cols());
  area.last_row = used.first_row + std::min(used.rows(), rows) - 1;
  return area;
}

void walk_sheets(Workbook& wb) {
  for (size_t sheet = 0; sheet < wb.sheet_names().size(); ++sheet) {
    try {
      if (auto used = wb.used_area(sheet)) {
        if (used->first_row > used->last_row || used->first_col > used->last_col) __builtin_trap();
        const CellArea area = bounded(*used);
        auto grid = wb.read_area(sheet, area);
        if (grid.cells.size() != size_t(area.rows()) * area.cols()) __builtin_trap();
      }
    } catch (const EngineError&) {
    }
  }
}

// Loads every defined name's table; returns the first that loads.
std::optional<Table> walk_names(Workbook& wb) {
  std::optional<Table> first;
  for (const auto& name : wb.defined_names()) {
    try {
      Table table = vers::engine::load_table(wb, name.name);
      for (const auto& row : table.rows) {
        if (row.size() != table.columns.size()) __builtin_trap();
      }
      if (!first) first = std::move(table);
    } catch (const EngineError&) {
    }
  }
  return first;
}

// A statement of the checks' shape over the table's own first columns (a
// join with an alias, WHERE, ORDER BY), then a record filter stepped
// through, as the report writer does with its query.
void run_statements(const Table& table) {
  if (table.columns.empty()) return;
  const std::string a = "[" + table.columns[0] + "]";
  const std::string b = "[" + table.columns[std::min<size_t>(1, table.columns.size() - 1)] + "]";
  const std::string text = "Select (" + a + " &  " + b + ") as Caption, " + a + " from [" + table.name +
                           "] where " + b + ">0 Order by " + b + ", " + a;
  try {
    const Table result = vers::engine::run_statement(vers::engine::parse_statement(text), table);
    if (result.columns.size() != 2) __builtin_trap();
    RowCursor cursor(result);
    cursor.set_filter(vers::engine::parse_condition(" Caption = 'P_Name'"));
    for (size_t steps = 0; !cursor.eof(); cursor.next()) {
      if (++steps > result.rows.size() || cursor.current() == nullptr) __builtin_trap();
    }
  } catch (const EngineError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<Workbook> wb;
  try {
    wb = vers::engine::open_workbook_bytes(std::vector<uint8_t>(data, data + size), "fuzz.xls");
  } catch (const EngineError&) {
    return 0;
  }
  walk_sheets(*wb);
  if (auto table = walk_names(*wb)) run_statements(*table);
  return 0;
}
