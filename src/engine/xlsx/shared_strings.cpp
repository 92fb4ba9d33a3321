#include "engine/xlsx/shared_strings.h"

#include "engine/error.h"
#include "engine/xlsx/x_escapes.h"
#include "engine/xml/limits.h"
#include "engine/xml/xml_reader.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::xlsx {

class SharedStringsHandler : public xml::Handler {
 public:
  SharedStringsHandler(SharedStrings& table, std::string what, uint64_t max_bytes)
      : table_(table), what_(std::move(what)), max_bytes_(max_bytes) {}

  void start_element(const xml::Name& name, const xml::Attributes&) override {
    ++depth_;
    if (name.local == "si" && !si_depth_) {
      si_depth_ = depth_;
      current_.clear();
    } else if (si_depth_ && name.local == "rPh" && !phonetic_depth_) {
      phonetic_depth_ = depth_;
    } else if (si_depth_ && !phonetic_depth_ && name.local == "t") {
      t_depth_ = depth_;
    }
  }

  void end_element(const xml::Name&) override {
    if (depth_ == t_depth_) {
      t_depth_ = 0;
    } else if (depth_ == phonetic_depth_) {
      phonetic_depth_ = 0;
    } else if (depth_ == si_depth_) {
      si_depth_ = 0;
      decode_x_escapes(current_);
      table_.starts_.push_back(table_.text_.size());
      table_.text_ += current_;
      // Each string costs its text and its index entry.
      if (table_.text_.size() + table_.starts_.size() * sizeof(size_t) > max_bytes_)
        throw EngineError("Файл " + what_ + " не читается: таблица строк недопустимо велика для своего размера");
    }
    --depth_;
  }

  void text(std::string_view chars) override {
    if (!t_depth_) return;
    current_ += chars;
    xml::check_cell_text(current_.size(), what_);
  }

 private:
  SharedStrings& table_;
  std::string what_;
  uint64_t max_bytes_;
  std::string current_;
  int depth_ = 0, si_depth_ = 0, t_depth_ = 0, phonetic_depth_ = 0;
};

SharedStrings SharedStrings::parse(std::string_view document, const std::string& what, uint64_t max_bytes) {
  SharedStrings table;
  SharedStringsHandler handler(table, what, max_bytes);
  xml::parse(document, what, handler);
  return table;
}

SharedStrings SharedStrings::read(const zip::Archive& archive, const std::string& member) {
  // Honest text compresses perhaps tenfold; what the table holds may not
  // exceed a generous multiple of the member's compressed size.
  const uint64_t max_bytes = archive.compressed_size(member) * 32 + (uint64_t(64) << 20);
  SharedStrings table;
  auto stream = archive.open(member);
  SharedStringsHandler handler(table, stream->what(), max_bytes);
  xml::parse(*stream, handler);
  table.text_.shrink_to_fit();
  table.starts_.shrink_to_fit();
  return table;
}

}  // namespace vers::engine::xlsx
