// A table as statements see it: a named area of a sheet as column names and
// records of values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace vers::engine {

class Workbook;

struct Table {
  std::string name;                      // as the workbook spells it
  std::vector<std::string> columns;      // from the area's first row
  std::vector<std::vector<Value>> rows;  // every further row, in sheet order
};

// Loads the table a statement names: a workbook-wide defined name (compared
// case-insensitively) that refers to one area of one sheet, or a whole sheet
// written "[Sheet$]" or "Sheet$" (its used area). The first row gives the
// column names; an empty header cell is named F1, F2, ... by its position.
// Throws EngineError naming the table when it does not exist or is not one
// area of this workbook.
Table load_table(Workbook& workbook, std::string_view name);

}  // namespace vers::engine
