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

bool inside(const CellArea& area, uint32_t row, uint32_t col) {
  return row >= area.first_row && row <= area.last_row && col >= area.first_col && col <= area.last_col;
}

class CellReader {
 public:
  CellReader(const SheetSource& source, const CellArea* area, CellGrid* grid)
      : src_(source), area_(area), grid_(grid) {}

  // For one pass over a wanted area whose grid is laid out from the
  // DIMENSIONS record, within budget cells.
  CellReader(const SheetSource& source, const CellArea& wanted, uint64_t budget)
      : src_(source), area_(nullptr), grid_(nullptr), wanted_(&wanted), budget_(budget) {}

  // One pass: whether some cell of the wanted area found no place in the
  // grid laid out; the grid and its area, when one was laid out.
  bool overflowed() const { return overflowed_; }
  const std::optional<CellArea>& laid_out() const { return laid_out_; }
  CellGrid take_grid() { return std::move(own_grid_); }

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
  Value* slot(uint32_t row, uint32_t col) {
    if (grid_ && inside(*area_, row, col))
      return &grid_->cells[size_t(row - area_->first_row) * grid_->cols + (col - area_->first_col)];
    if (wanted_ && inside(*wanted_, row, col)) overflowed_ = true;
    return nullptr;
  }

  // In one pass, the grid for the wanted area as far as the stated extent
  // reaches. A record too short to read is passed over as any record the
  // reader does not need; so is a second one.
  void lay_out(const Record& r) {
    if (!wanted_ || stated_) return;
    stated_ = true;
    const uint8_t* d = r.data.data();
    uint32_t rows_end = 0, cols_end = 0;  // one past the last row and column
    if (src_.version == BiffVersion::Biff8 && r.data.size() >= 12) {
      rows_end = read_u32(d + 4);
      cols_end = read_u16(d + 10);
    } else if (src_.version != BiffVersion::Biff8 && r.data.size() >= 8) {
      rows_end = read_u16(d + 2);
      cols_end = read_u16(d + 6);
    }
    if (rows_end == 0 || cols_end == 0) return;
    const std::optional<CellArea> area = clip_to_used(*wanted_, CellArea{0, 0, rows_end - 1, cols_end - 1});
    if (!area || uint64_t(area->rows()) * area->cols() > budget_) return;
    laid_out_ = *area;
    own_grid_.rows = area->rows();
    own_grid_.cols = area->cols();
    own_grid_.cells.resize(size_t(area->rows()) * area->cols());
    area_ = &*laid_out_;
    grid_ = &own_grid_;
  }

  void cell_record(const Record& r, RecordReader& reader) {
    const size_t minimum = minimum_size(r.type, src_.version);
    if (minimum == 0) {
      if (r.type == record::kString) string_result(r, reader);
      if (r.type == record::kDimensions) lay_out(r);
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
    const CellArea* rows = wanted_ ? wanted_ : area_;  // where a cell may go, or be missed
    if ((!grid_ && !wanted_) || row < rows->first_row || row > rows->last_row) return;
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
  // One pass: the area asked for, and the grid laid out for it.
  const CellArea* wanted_ = nullptr;
  uint64_t budget_ = 0;
  bool stated_ = false;  // a DIMENSIONS record was seen
  bool overflowed_ = false;
  std::optional<CellArea> laid_out_;
  CellGrid own_grid_;
  UsedArea used_;
  Value* pending_string_ = nullptr;  // a formula cell waiting for its STRING
  RecordCursor cursor_;
};

}  // namespace

std::optional<CellArea> read_sheet_cells(const SheetSource& source, uint32_t offset, const CellArea* area,
                                         CellGrid* grid) {
  return CellReader(source, area, grid).run(offset);
}

ClippedCells read_clipped_sheet_cells(const SheetSource& source, uint32_t offset, const CellArea& area,
                                      uint64_t budget, uint64_t max_cells) {
  ClippedCells out;
  CellReader reader(source, area, budget);
  out.used = reader.run(offset);
  out.clipped = clip_to_used(area, out.used);
  if (!out.clipped) {
    out.complete = true;
    return out;
  }
  const CellArea& clipped = *out.clipped;
  if (reader.overflowed() || uint64_t(clipped.rows()) * clipped.cols() > max_cells) return out;
  // Every cell of the area is in the grid laid out (or there is none):
  // fit it to the clipped area, which starts at the same row and column.
  // Cells the grid lacks are Null.
  const std::optional<CellArea>& laid_out = reader.laid_out();
  CellGrid grid = reader.take_grid();
  if (laid_out && laid_out->cols() == clipped.cols()) {
    grid.rows = clipped.rows();
    grid.cells.resize(size_t(clipped.rows()) * clipped.cols());
  } else {
    CellGrid fitted;
    fitted.rows = clipped.rows();
    fitted.cols = clipped.cols();
    fitted.cells.resize(size_t(clipped.rows()) * clipped.cols());
    if (laid_out) {
      const uint32_t rows = std::min(grid.rows, fitted.rows), cols = std::min(grid.cols, fitted.cols);
      for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < cols; ++c)
          fitted.cells[size_t(r) * fitted.cols + c] = std::move(grid.cells[size_t(r) * grid.cols + c]);
    }
    grid = std::move(fitted);
  }
  out.grid = std::move(grid);
  out.complete = true;
  return out;
}

}  // namespace vers::engine::biff
