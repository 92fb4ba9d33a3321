// Reads an OpenDocument spreadsheet's content.xml as a stream of events:
// each sheet, each run of equal cells (a cell repeated over rows and columns
// stays one event, so a sheet that claims a million empty rows costs
// nothing), and each workbook-wide named range. Cells are decoded to the
// values the spreadsheet saved; a formula cell gives its saved result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <memory>

#include "engine/value.h"
#include "engine/xml/serial_date.h"

namespace vers::engine::zip {
class MemberStream;
}
namespace vers::engine::xml {
class Handler;
}

namespace vers::engine::ods {

class ContentSink {
 public:
  virtual ~ContentSink() = default;
  // A sheet begins; sheets are numbered from 0 in document order.
  virtual void sheet(size_t index, std::string_view name) = 0;
  // Whether the cells of that sheet are wanted; the others are skipped.
  virtual bool wants_cells(size_t sheet) const = 0;
  // A row of a wanted sheet begins (rows arrive in ascending order).
  virtual void row(size_t /*sheet*/, uint64_t /*row*/) {}
  // A non-empty value fills rows [row, row + rows) x [col, col + cols),
  // clipped to the largest sheet.
  virtual void cells(size_t sheet, uint32_t row, uint32_t rows, uint32_t col, uint32_t cols, const Value& value) = 0;
  // A workbook-wide name: a named range with its address
  // ("$Лист1.$A$1:.$C$3"), or a named expression with its formula
  // ("of:=[$Лист1.$A$1]~[$Лист2.$B$2]") and an empty address.
  virtual void named_range(std::string_view name, std::string_view range_address, std::string_view expression) = 0;
  // The document's null date, when it gives one.
  virtual void null_date(const xml::Epoch&) {}
  // True ends the reading early.
  virtual bool done() const { return false; }
};

// Where a reading starts: the number of the first sheet it meets, and the
// null date in force (for a part of the document cut out of the whole).
struct ContentStart {
  size_t first_sheet = 0;
  xml::Epoch epoch;
};

// The XML handler behind read_content, for a caller that feeds the parser
// itself.
std::unique_ptr<xml::Handler> content_handler(ContentSink& sink, std::string what, const ContentStart& start = {});

// Streams the member through the sink. Throws EngineError when it is
// damaged.
void read_content(zip::MemberStream& content, ContentSink& sink);

// The same for a content document in memory; what names it in messages.
void read_content(std::string_view document, const std::string& what, ContentSink& sink);

}  // namespace vers::engine::ods
