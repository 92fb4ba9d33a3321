#include "engine/ods/ods_workbook.h"

#include <algorithm>

#include "engine/error.h"
#include "engine/ods/ods_content.h"
#include "engine/ods/ods_range_address.h"
#include "engine/xml/limits.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::ods {
namespace {

// What opening learns: every sheet with its used area, and the names.
class GlobalsSink : public ContentSink {
 public:
  void sheet(size_t, std::string_view name) override {
    names.emplace_back(name);
    used.emplace_back();
  }
  bool wants_cells(size_t) const override { return true; }
  void cells(size_t sheet, uint32_t row, uint32_t rows, uint32_t col, uint32_t cols, const Value&) override {
    const CellArea run{row, col, row + rows - 1, col + cols - 1};
    auto& area = used[sheet];
    if (!area) {
      area = run;
      return;
    }
    area->first_row = std::min(area->first_row, run.first_row);
    area->first_col = std::min(area->first_col, run.first_col);
    area->last_row = std::max(area->last_row, run.last_row);
    area->last_col = std::max(area->last_col, run.last_col);
  }
  void named_range(std::string_view name, std::string_view address, std::string_view expression) override {
    ranges.push_back({std::string(name), std::string(address), std::string(expression)});
  }

  std::vector<std::string> names;
  std::vector<std::optional<CellArea>> used;
  struct Range {
    std::string name, address, expression;
  };
  std::vector<Range> ranges;
};

// Fills a grid with the cells of one area of one sheet, and ends the
// reading once the rows below the area begin.
class AreaSink : public ContentSink {
 public:
  AreaSink(size_t sheet, const CellArea& area) : sheet_(sheet), area_(area), grid(xml::empty_grid(area)) {}

  void sheet(size_t index, std::string_view) override { past_ = index > sheet_; }
  bool wants_cells(size_t sheet) const override { return sheet == sheet_; }
  void row(size_t, uint64_t row) override { past_ = past_ || row > area_.last_row; }
  void cells(size_t, uint32_t row, uint32_t rows, uint32_t col, uint32_t cols, const Value& value) override {
    const uint32_t r1 = std::max(row, area_.first_row), r2 = std::min(row + rows - 1, area_.last_row);
    const uint32_t c1 = std::max(col, area_.first_col), c2 = std::min(col + cols - 1, area_.last_col);
    for (uint32_t r = r1; r <= r2 && c1 <= c2; ++r) {
      for (uint32_t c = c1; c <= c2; ++c)
        grid.cells[size_t(r - area_.first_row) * grid.cols + (c - area_.first_col)] = value;
      if (r == r2) break;  // r2 may be the largest uint32_t
    }
  }
  void named_range(std::string_view, std::string_view, std::string_view) override {}
  bool done() const override { return past_; }

 private:
  size_t sheet_;
  CellArea area_;
  bool past_ = false;

 public:
  CellGrid grid;
};

// A document saved with a password lists how each member is encrypted in
// its manifest; the members themselves are stored as plain zip entries.
bool is_encrypted(const zip::Archive& archive) {
  constexpr const char* kManifest = "META-INF/manifest.xml";
  if (!archive.contains(kManifest)) return false;
  return archive.read_small(kManifest, size_t(16) << 20).find("encryption-data") != std::string::npos;
}

class OdsWorkbook : public Workbook {
 public:
  explicit OdsWorkbook(std::unique_ptr<zip::Archive> archive) : archive_(std::move(archive)) {
    if (is_encrypted(*archive_)) throw EngineError("Книга «" + archive_->display_name() + "» защищена паролем");
    GlobalsSink globals;
    read_content(*archive_->open("content.xml"), globals);
    sheet_names_ = std::move(globals.names);
    used_ = std::move(globals.used);
    for (auto& range : globals.ranges)
      names_.push_back(range.address.empty() ? classify_expression(range.name, range.expression, sheet_names_)
                                             : classify_range_address(range.name, range.address, sheet_names_));
  }

  const std::vector<std::string>& sheet_names() const override { return sheet_names_; }
  const std::vector<DefinedName>& defined_names() const override { return names_; }

  std::optional<CellArea> used_area(size_t sheet) override {
    check_sheet(sheet);
    return used_[sheet];
  }

  CellGrid read_area(size_t sheet, const CellArea& area) override {
    check_sheet(sheet);
    xml::check_area(area, archive_->display_name(), sheet_names_[sheet]);
    // Nothing of the sheet lies in the area: no need to read the file.
    const auto& used = used_[sheet];
    if (!used || area.first_row > used->last_row || area.last_row < used->first_row ||
        area.first_col > used->last_col || area.last_col < used->first_col)
      return xml::empty_grid(area);
    AreaSink sink(sheet, area);
    read_content(*archive_->open("content.xml"), sink);
    return std::move(sink.grid);
  }

 private:
  void check_sheet(size_t sheet) const {
    if (sheet >= sheet_names_.size())
      throw EngineError("Книга «" + archive_->display_name() + "»: нет листа с номером " + std::to_string(sheet + 1));
  }

  std::unique_ptr<zip::Archive> archive_;
  std::vector<std::string> sheet_names_;
  std::vector<std::optional<CellArea>> used_;
  std::vector<DefinedName> names_;
};

}  // namespace

std::unique_ptr<Workbook> open_ods(std::unique_ptr<zip::Archive> archive) {
  return std::make_unique<OdsWorkbook>(std::move(archive));
}

}  // namespace vers::engine::ods
