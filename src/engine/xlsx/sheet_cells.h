// Reads the cells of an Office Open XML worksheet member in one stream:
// every cell that holds a value, with its position (from its "r" reference,
// or by order when the writer left it out) and the value the spreadsheet
// saved: a number, a shared or inline string, a Boolean, a formula's cached
// result, an ISO date as a serial number. Error values read as empty cells.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/value.h"
#include "engine/xml/serial_date.h"

namespace vers::engine::zip {
class MemberStream;
}

namespace vers::engine::xlsx {

class SharedStrings;

class CellSink {
 public:
  virtual ~CellSink() = default;
  // A row begins (0-based); rows arrive in ascending order in a valid file.
  virtual void row(uint32_t) {}
  virtual void cell(uint32_t row, uint32_t col, Value value) = 0;
  // True ends the reading early.
  virtual bool done() const { return false; }
};

struct SheetContext {
  const SharedStrings* strings = nullptr;
  xml::Epoch epoch;   // 1899-12-30, or 1904-01-01 in the 1904 date system
  std::string sheet;  // for messages
};

void read_sheet_cells(zip::MemberStream& member, const SheetContext& context, CellSink& sink);

// The same for a sheet document in memory; what names it in messages.
void read_sheet_cells(std::string_view document, const std::string& what, const SheetContext& context,
                      CellSink& sink);

}  // namespace vers::engine::xlsx
