#include "engine/biff/sheet_cells.h"

#include <algorithm>

#include "engine/biff/messages.h"
#include "engine/biff/record_cursor.h"
#include "engine/biff/record_reader.h"
#include "engine/biff/record_types.h"
#include "engine/biff/rk_number.h"
#include "engine/cfb/little_endian.h"

namespace vers::engine::biff {
namespace {

class UsedArea {
 public:
  void add(uint32_t row, uint32_t first_col, uint32_t last_col) {
    if (!area_) {
      area_ = CellArea{row, first_col, row, last_col};
      return;
    }
    area_->first_row = std::min(area_->first_row, row);
    area_->last_row = std::max(area_->last_row, row);
    area_->first_col = std::min(area_->first_col, first_col);
    area_->last_col = std::max(area_->last_col, last_col);
  }
  const std::optional<CellArea>& area() const { return area_; }

 private:
  std::optional<CellArea> area_;
};

// The shortest data each cell record must have.
size_t minimum_size(uint16_t type, BiffVersion version) {
  switch (type) {
    case record::kNumber: return 14;
    case record::kRk: return 10;
    case record::kMulRk: return 12;  // row, first column, one RK, last column
    case record::kLabelSst: return 10;
    case record::kLabel:
    case record::kRString: return version == BiffVersion::Biff8 ? 9 : 8;
    case record::kBoolErr: return 8;
    case record::kFormula: return 20;
    default: return 0;
  }
}

class CellReader {
 public:
  CellReader(const SheetSource& source, const CellArea* area, CellGrid* grid)
      : src_(source), area_(area), grid_(grid) {}

  std::optional<CellArea> run(uint32_t offset) {
    if (offset >= src_.stream.size()) damaged("лист начинается за концом потока книги");
    RecordReader reader(src_.stream, offset, *src_.book, src_.sheet);
    Record r;
    if (!reader.next(r) || r.type != record::kBof) damaged("нет записи BOF в начале листа");
    int depth = 0;  // inside a nested substream (an embedded chart)
    while (reader.next(r)) {
      if (r.type == record::kBof) {
        ++depth;
        continue;
      }
      if (r.type == record::kEof) {
        if (depth == 0) break;
        --depth;
        continue;
      }
      if (depth == 0) cell_record(r, reader);
    }
    return used_.area();
  }

 private:
  [[noreturn]] void damaged(const std::string& what) const {
    throw_damaged(*src_.book, "лист «" + *src_.sheet + "»: " + what);
  }

  // The cell's place in the grid, or nothing when it is outside the area.
  Value* slot(uint32_t row, uint32_t col) const {
    if (!grid_ || row < area_->first_row || row > area_->last_row || col < area_->first_col ||
        col > area_->last_col)
      return nullptr;
    return &grid_->cells[size_t(row - area_->first_row) * grid_->cols + (col - area_->first_col)];
  }

  void cell_record(const Record& r, RecordReader& reader) {
    const size_t minimum = minimum_size(r.type, src_.version);
    if (minimum == 0) {
      if (r.type == record::kString) string_result(r, reader);
      return;  // BLANK, MULBLANK and every record that is not a cell
    }
    if (r.data.size() < minimum) damaged(describe_record(r.type, r.offset) + " слишком коротка");
    pending_string_ = nullptr;
    const uint8_t* d = r.data.data();
    const uint32_t row = read_u16(d);
    const uint32_t col = read_u16(d + 2);
    if (r.type == record::kMulRk) {
      mul_rk(r, row, col);
      return;
    }
    used_.add(row, col, col);
    Value* cell = slot(row, col);
    if (!cell) return;
    switch (r.type) {
      case record::kNumber: *cell = Value::number(read_f64(d + 6)); break;
      case record::kRk: *cell = Value::number(decode_rk(read_u32(d + 6))); break;
      case record::kLabelSst: {
        const uint32_t index = read_u32(d + 6);
        if (!src_.strings->has(index))
          damaged(describe_record(r.type, r.offset) + ": строки " + std::to_string(index) + " нет в таблице строк");
        *cell = Value::text(src_.strings->at(index));
        break;
      }
      case record::kLabel:
      case record::kRString: *cell = Value::text(text_at(r, reader, 6)); break;
      case record::kBoolErr:
        if (d[7] == 0) *cell = Value::boolean(d[6] != 0);  // an error value stays Null
        break;
      case record::kFormula: formula_result(d, cell); break;
    }
  }

  void mul_rk(const Record& r, uint32_t row, uint32_t first_col) {
    const size_t count = (r.data.size() - 6) / 6;
    used_.add(row, first_col, first_col + uint32_t(count) - 1);
    if (!grid_ || row < area_->first_row || row > area_->last_row) return;
    for (size_t i = 0; i < count; ++i)
      if (Value* cell = slot(row, first_col + uint32_t(i)))
        *cell = Value::number(decode_rk(read_u32(r.data.data() + 4 + 6 * i + 2)));
  }

  // The cached result: a number, or a tagged value (0xFFFF in the top
  // bytes) whose text, when it has one, follows in a STRING record.
  void formula_result(const uint8_t* d, Value* cell) {
    if (read_u16(d + 12) != 0xFFFF) {
      *cell = Value::number(read_f64(d + 6));
      return;
    }
    switch (d[6]) {
      case 0: pending_string_ = cell; break;
      case 1: *cell = Value::boolean(d[8] != 0); break;
      case 3: *cell = Value::text(""); break;
      default: break;  // an error value: Null
    }
  }

  void string_result(const Record& r, RecordReader& reader) {
    if (!pending_string_) return;
    *pending_string_ = Value::text(text_at(r, reader, 0));
    pending_string_ = nullptr;
  }

  // A text with a 16-bit length at offset within the record (LABEL, STRING).
  std::string text_at(const Record& r, RecordReader& reader, size_t offset) {
    std::string text;
    try {
      cursor_.start(r, reader);
      cursor_.skip(offset);
      if (src_.version == BiffVersion::Biff8)
        cursor_.read_unicode_string(true, text);
      else
        cursor_.read_codepage_chars(cursor_.u16(), src_.codepage, text);
    } catch (const RecordCursor::Truncated&) {
      damaged(describe_record(r.type, r.offset) + " обрезана");
    }
    return text;
  }

  const SheetSource& src_;
  const CellArea* area_;
  CellGrid* grid_;
  UsedArea used_;
  Value* pending_string_ = nullptr;  // a formula cell waiting for its STRING
  RecordCursor cursor_;
};

}  // namespace

std::optional<CellArea> read_sheet_cells(const SheetSource& source, uint32_t offset, const CellArea* area,
                                         CellGrid* grid) {
  return CellReader(source, area, grid).run(offset);
}

}  // namespace vers::engine::biff
