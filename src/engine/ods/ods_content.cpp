#include "engine/ods/ods_content.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "engine/error.h"
#include "engine/xml/a1_reference.h"
#include "engine/xml/limits.h"
#include "engine/xml/serial_date.h"
#include "engine/xml/xml_reader.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::ods {
namespace {

constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kCalcExt = "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

// A repeat count as written, at least 1, at most the largest sheet.
uint32_t repeat_count(const char* text, uint32_t limit) {
  if (!text) return 1;
  uint64_t n = 0;
  const char* end = text + std::strlen(text);
  const auto result = std::from_chars(text, end, n);
  if (result.ec == std::errc::result_out_of_range) return limit;
  if (result.ec != std::errc() || n == 0) return 1;
  return uint32_t(std::min<uint64_t>(n, limit));
}

bool read_double(const std::string& text, double& out) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto result = std::from_chars(begin, end, out);
  return result.ec == std::errc() && result.ptr == end;
}

std::string attribute(const xml::Attributes& a, std::string_view ns, std::string_view local) {
  const char* v = a.find(ns, local);
  return v ? std::string(v) : std::string();
}

class ContentHandler : public xml::Handler {
 public:
  ContentHandler(ContentSink& sink, std::string what, const ContentStart& start)
      : sink_(sink), what_(std::move(what)), epoch_(start.epoch), sheet_count_(start.first_sheet) {}

  void start_element(const xml::Name& name, const xml::Attributes& a) override {
    ++depth_;
    if (cell_depth_) {
      start_in_cell(name, a);
      return;
    }
    if (name.ns == kTable) {
      if (name.local == "table" && !table_depth_ && spreadsheet_depth_) {
        table_depth_ = depth_;
        ++sheet_count_;
        row_ = 0;
        const char* sheet_name = a.find(kTable, "name");
        sink_.sheet(sheet_index(), sheet_name ? sheet_name : "");
        wanted_ = sink_.wants_cells(sheet_index());
      } else if (name.local == "table-row" && table_depth_) {
        rows_repeated_ = repeat_count(a.find(kTable, "number-rows-repeated"), xml::kMaxRows);
        col_ = 0;
        if (wanted_) sink_.row(sheet_index(), row_);
      } else if ((name.local == "table-cell" || name.local == "covered-table-cell") && table_depth_) {
        start_cell(a);
      } else if (name.local == "named-expressions" && !table_depth_ && spreadsheet_depth_) {
        names_depth_ = depth_;
      } else if (names_depth_ && depth_ == names_depth_ + 1 && name.local == "named-range") {
        sink_.named_range(attribute(a, kTable, "name"), attribute(a, kTable, "cell-range-address"), "");
      } else if (names_depth_ && depth_ == names_depth_ + 1 && name.local == "named-expression") {
        sink_.named_range(attribute(a, kTable, "name"), "", attribute(a, kTable, "expression"));
      } else if (name.local == "null-date" && !table_depth_) {
        const char* date = a.find(kTable, "date-value");
        if (date && xml::parse_epoch(std::string_view(date).substr(0, 10), epoch_)) sink_.null_date(epoch_);
      }
    } else if (name.is(kOffice, "spreadsheet") && !spreadsheet_depth_) {
      spreadsheet_depth_ = depth_;
    }
  }

  void end_element(const xml::Name& name) override {
    if (cell_depth_) {
      if (depth_ == cell_depth_) end_cell();
      else end_in_cell(name);
    } else if (depth_ == table_depth_) {
      table_depth_ = 0;
    } else if (depth_ == names_depth_) {
      names_depth_ = 0;
    } else if (depth_ == spreadsheet_depth_) {
      spreadsheet_depth_ = 0;
    } else if (table_depth_ && name.is(kTable, "table-row")) {
      row_ += rows_repeated_;
    }
    --depth_;
  }

  void text(std::string_view chars) override {
    if (!paragraph_depth_ || annotation_depth_ || !collect_text_) return;
    // Blanks are kept as written: LibreOffice writes runs of spaces
    // literally inside a paragraph and reads them back so.
    text_ += chars;
    check_text_size();
  }

  bool done() const override { return sink_.done(); }

 private:
  size_t sheet_index() const { return sheet_count_ - 1; }

  void start_cell(const xml::Attributes& a) {
    cell_depth_ = depth_;
    cols_repeated_ = repeat_count(a.find(kTable, "number-columns-repeated"), xml::kMaxColumns);
    if (!wanted_) {
      collect_text_ = false;
      return;
    }
    value_type_ = attribute(a, kOffice, "value-type");
    const char* calc_type = a.find(kCalcExt, "value-type");
    is_error_ = calc_type && std::strcmp(calc_type, "error") == 0;
    has_formula_ = a.find(kTable, "formula") != nullptr;
    const char* string_value = a.find(kOffice, "string-value");
    has_string_value_ = string_value != nullptr;
    text_.clear();
    paragraphs_ = 0;
    if (value_type_ == "float" || value_type_ == "percentage" || value_type_ == "currency") {
      value_ = attribute(a, kOffice, "value");
    } else if (value_type_ == "date") {
      value_ = attribute(a, kOffice, "date-value");
    } else if (value_type_ == "time") {
      value_ = attribute(a, kOffice, "time-value");
    } else if (value_type_ == "boolean") {
      value_ = attribute(a, kOffice, "boolean-value");
    } else if (has_string_value_) {
      text_ = string_value;
      check_text_size();
    }
    // The paragraphs are the value only of a text cell without its value
    // written out, or of a cell that has no value type at all.
    collect_text_ = !has_string_value_ && (value_type_.empty() || value_type_ == "string");
  }

  void start_in_cell(const xml::Name& name, const xml::Attributes& a) {
    if (name.is(kOffice, "annotation")) {
      if (!annotation_depth_) annotation_depth_ = depth_;
      return;
    }
    if (name.ns != kText || annotation_depth_ || !collect_text_) return;
    if ((name.local == "p" || name.local == "h") && !paragraph_depth_) {
      if (paragraphs_++ > 0) append("\n");
      paragraph_depth_ = depth_;
    } else if (paragraph_depth_ && name.local == "s") {
      const uint32_t count = repeat_count(a.find(kText, "c"), uint32_t(xml::kMaxCellText));
      xml::check_cell_text(text_.size() + count, what_);
      text_.append(count, ' ');
    } else if (paragraph_depth_ && name.local == "tab") {
      append("\t");
    } else if (paragraph_depth_ && name.local == "line-break") {
      append("\n");
    }
  }

  void end_in_cell(const xml::Name&) {
    if (depth_ == annotation_depth_) annotation_depth_ = 0;
    else if (depth_ == paragraph_depth_) paragraph_depth_ = 0;
  }

  void end_cell() {
    cell_depth_ = 0;
    paragraph_depth_ = 0;
    annotation_depth_ = 0;
    if (wanted_ && row_ < xml::kMaxRows && col_ < xml::kMaxColumns) {
      const Value value = cell_value();
      if (!value.is_null()) {
        const uint32_t rows = uint32_t(std::min<uint64_t>(rows_repeated_, xml::kMaxRows - row_));
        const uint32_t cols = uint32_t(std::min<uint64_t>(cols_repeated_, xml::kMaxColumns - col_));
        sink_.cells(sheet_index(), uint32_t(row_), rows, uint32_t(col_), cols, value);
      }
    }
    col_ += cols_repeated_;
  }

  Value cell_value() const {
    if (is_error_) return Value();  // an error result reads as an empty cell
    double number = 0;
    if (value_type_ == "float" || value_type_ == "percentage" || value_type_ == "currency")
      return read_double(value_, number) ? Value::number(number) : Value();
    if (value_type_ == "date")
      return xml::iso_date_to_serial(value_, epoch_, number) ? Value::number(number) : Value();
    if (value_type_ == "time") return xml::iso_duration_to_days(value_, number) ? Value::number(number) : Value();
    if (value_type_ == "boolean") {
      if (value_ == "true" || value_ == "1") return Value::boolean(true);
      if (value_ == "false" || value_ == "0") return Value::boolean(false);
      return Value();
    }
    if (value_type_ == "string") return Value::text(text_);
    // No value type: a formula whose result is empty text, or bare text.
    if (value_type_.empty() && (has_formula_ || !text_.empty())) return Value::text(text_);
    return Value();
  }

  void append(std::string_view s) {
    text_ += s;
    check_text_size();
  }
  void check_text_size() const { xml::check_cell_text(text_.size(), what_); }

  ContentSink& sink_;
  std::string what_;
  xml::Epoch epoch_;

  int depth_ = 0;
  int spreadsheet_depth_ = 0;
  int table_depth_ = 0;
  int names_depth_ = 0;
  int cell_depth_ = 0;
  int paragraph_depth_ = 0;
  int annotation_depth_ = 0;

  size_t sheet_count_ = 0;
  bool wanted_ = false;
  uint64_t row_ = 0;
  uint64_t col_ = 0;
  uint32_t rows_repeated_ = 1;
  uint32_t cols_repeated_ = 1;

  // The cell being read.
  std::string value_type_;
  std::string value_;
  std::string text_;
  bool is_error_ = false;
  bool has_formula_ = false;
  bool has_string_value_ = false;
  bool collect_text_ = false;
  size_t paragraphs_ = 0;
};

}  // namespace

std::unique_ptr<xml::Handler> content_handler(ContentSink& sink, std::string what, const ContentStart& start) {
  return std::make_unique<ContentHandler>(sink, std::move(what), start);
}

void read_content(zip::MemberStream& content, ContentSink& sink) {
  ContentHandler handler(sink, content.what(), {});
  xml::parse(content, handler);
}

void read_content(std::string_view document, const std::string& what, ContentSink& sink) {
  ContentHandler handler(sink, what, {});
  xml::parse(document, what, handler);
}

}  // namespace vers::engine::ods
