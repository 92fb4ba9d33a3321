#include "engine/xlsx/sheet_cells.h"

#include <charconv>
#include <cstring>

#include "engine/error.h"
#include "engine/xlsx/shared_strings.h"
#include "engine/xlsx/x_escapes.h"
#include "engine/xml/a1_reference.h"
#include "engine/xml/limits.h"
#include "engine/xml/xml_reader.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::xlsx {
namespace {

bool read_double(std::string_view text, double& out) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.starts_with('+')) text.remove_prefix(1);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
  return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::string column_name(uint32_t col) {
  std::string name;
  for (uint64_t n = uint64_t(col) + 1; n > 0; n = (n - 1) / 26) name.insert(name.begin(), char('A' + (n - 1) % 26));
  return name;
}

class SheetHandler : public xml::Handler {
 public:
  SheetHandler(const SheetContext& context, CellSink& sink, std::string what)
      : context_(context), sink_(sink), what_(std::move(what)) {}

  void start_element(const xml::Name& name, const xml::Attributes& a) override {
    ++depth_;
    if (cell_depth_) {
      if (name.local == "v" && depth_ == cell_depth_ + 1) {
        in_v_ = true;
        has_v_ = true;
      } else if (name.local == "is" && depth_ == cell_depth_ + 1) {
        is_depth_ = depth_;
        has_is_ = true;
      } else if (is_depth_ && name.local == "rPh" && !phonetic_depth_) {
        phonetic_depth_ = depth_;
      } else if (is_depth_ && !phonetic_depth_ && name.local == "t") {
        in_t_ = true;
      }
      return;
    }
    if (name.local == "sheetData") {
      data_depth_ = depth_;
    } else if (data_depth_ && depth_ == data_depth_ + 1 && name.local == "row") {
      start_row(a.find("", "r"));
    } else if (row_depth_ && depth_ == row_depth_ + 1 && name.local == "c") {
      start_cell(a);
    }
  }

  void end_element(const xml::Name& name) override {
    if (cell_depth_) {
      if (depth_ == cell_depth_) end_cell();
      else if (depth_ == phonetic_depth_) phonetic_depth_ = 0;
      else if (depth_ == is_depth_) is_depth_ = 0;
      else if (name.local == "v") in_v_ = false;
      else if (name.local == "t") in_t_ = false;
    } else if (depth_ == row_depth_) {
      row_depth_ = 0;
    } else if (depth_ == data_depth_) {
      data_depth_ = 0;
    }
    --depth_;
  }

  void text(std::string_view chars) override {
    if (in_v_) {
      v_ += chars;
      xml::check_cell_text(v_.size(), what_);
    } else if (in_t_ && !phonetic_depth_) {
      is_ += chars;
      xml::check_cell_text(is_.size(), what_);
    }
  }

  bool done() const override { return sink_.done(); }

 private:
  void start_row(const char* r) {
    row_depth_ = depth_;
    uint64_t row = next_row_;
    if (r) {
      uint64_t n = 0;
      const auto result = std::from_chars(r, r + std::strlen(r), n);
      if (result.ec != std::errc() || n == 0 || n > xml::kMaxRows) fail_row(r);
      row = n - 1;
    }
    row_ = row;
    next_row_ = row + 1;
    next_col_ = 0;
    if (row_ < xml::kMaxRows) sink_.row(uint32_t(row_));
  }

  void start_cell(const xml::Attributes& a) {
    cell_depth_ = depth_;
    const char* r = a.find("", "r");
    cell_row_ = row_;
    cell_col_ = next_col_;
    if (r) {
      uint32_t row = 0, col = 0;
      if (!xml::parse_a1_cell(r, row, col)) fail_cell(r);
      cell_row_ = row;
      cell_col_ = col;
    }
    next_col_ = cell_col_ + 1;
    const char* t = a.find("", "t");
    type_ = t ? t : "n";
    v_.clear();
    is_.clear();
    has_v_ = has_is_ = in_v_ = in_t_ = false;
  }

  void end_cell() {
    cell_depth_ = is_depth_ = phonetic_depth_ = 0;
    in_v_ = in_t_ = false;
    if (cell_row_ >= xml::kMaxRows || cell_col_ >= xml::kMaxColumns) return;
    Value value = cell_value();
    if (!value.is_null()) sink_.cell(uint32_t(cell_row_), uint32_t(cell_col_), std::move(value));
  }

  Value cell_value() {
    double number = 0;
    if (type_ == "n") return has_v_ && read_double(v_, number) ? Value::number(number) : Value();
    if (type_ == "s") {
      if (!has_v_ || v_.empty()) return Value();
      uint64_t index = 0;
      const auto result = std::from_chars(v_.data(), v_.data() + v_.size(), index);
      if (result.ec != std::errc() || result.ptr != v_.data() + v_.size() || !context_.strings ||
          index >= context_.strings->size())
        fail_string_index();
      return Value::text(std::string(context_.strings->at(size_t(index))));
    }
    if (type_ == "str") {
      if (!has_v_) return Value();
      decode_x_escapes(v_);
      return Value::text(std::move(v_));
    }
    if (type_ == "inlineStr") {
      if (has_is_) {
        decode_x_escapes(is_);
        return Value::text(std::move(is_));
      }
      if (!has_v_) return Value();
      decode_x_escapes(v_);
      return Value::text(std::move(v_));
    }
    if (type_ == "b") {
      if (v_ == "1" || v_ == "true") return Value::boolean(true);
      if (v_ == "0" || v_ == "false") return Value::boolean(false);
      return Value();
    }
    if (type_ == "d") return xml::iso_date_to_serial(v_, context_.epoch, number) ? Value::number(number) : Value();
    return Value();  // "e": an error value reads as an empty cell
  }

  std::string where() const { return "Книга " + what_ + ", лист «" + context_.sheet + "»"; }
  [[noreturn]] void fail_row(const char* r) const {
    throw EngineError(where() + ": неверный номер строки «" + std::string(r) + "»");
  }
  [[noreturn]] void fail_cell(const char* r) const {
    throw EngineError(where() + ": неверная ссылка на ячейку «" + std::string(r) + "»");
  }
  [[noreturn]] void fail_string_index() const {
    throw EngineError(where() + ", ячейка " + column_name(uint32_t(cell_col_)) + std::to_string(cell_row_ + 1) +
                      ": нет строки с номером «" + v_ + "» в таблице строк");
  }

  const SheetContext& context_;
  CellSink& sink_;
  std::string what_;

  int depth_ = 0, data_depth_ = 0, row_depth_ = 0, cell_depth_ = 0, is_depth_ = 0, phonetic_depth_ = 0;
  uint64_t row_ = 0, next_row_ = 0, next_col_ = 0;
  uint64_t cell_row_ = 0, cell_col_ = 0;
  std::string type_, v_, is_;
  bool has_v_ = false, has_is_ = false, in_v_ = false, in_t_ = false;
};

}  // namespace

void read_sheet_cells(zip::MemberStream& member, const SheetContext& context, CellSink& sink) {
  SheetHandler handler(context, sink, member.what());
  xml::parse(member, handler);
}

void read_sheet_cells(std::string_view document, const std::string& what, const SheetContext& context,
                      CellSink& sink) {
  SheetHandler handler(context, sink, what);
  xml::parse(document, what, handler);
}

}  // namespace vers::engine::xlsx
