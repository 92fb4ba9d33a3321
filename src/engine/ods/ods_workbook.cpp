#include "engine/ods/ods_workbook.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/error.h"
#include "engine/ods/content_index.h"
#include "engine/ods/ods_content.h"
#include "engine/ods/ods_range_address.h"
#include "engine/xml/cell_runs.h"
#include "engine/xml/limits.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::ods {
namespace {

// What opening learns: every sheet, the names and the null date; and, when
// every cell is streamed past it, each sheet's used area.
class GlobalsSink : public ContentSink {
 public:
  void sheet(size_t, std::string_view name) override {
    names.emplace_back(name);
    used.emplace_back();
  }
  bool wants_cells(size_t) const override { return true; }
  void cells(size_t sheet, uint32_t row, uint32_t rows, uint32_t col, uint32_t cols, const Value&) override {
    xml::grow(used[sheet], CellArea{row, col, row + rows - 1, col + cols - 1});
  }
  void named_range(std::string_view name, std::string_view address, std::string_view expression) override {
    ranges.push_back({std::string(name), std::string(address), std::string(expression)});
  }
  void null_date(const xml::Epoch& date) override { epoch = date; }

  std::vector<std::string> names;
  std::vector<std::optional<CellArea>> used;
  struct Range {
    std::string name, address, expression;
  };
  std::vector<Range> ranges;
  xml::Epoch epoch;
};

// The used area of one sheet, and its cells while they are few enough.
class UsedAreaSink : public ContentSink {
 public:
  explicit UsedAreaSink(size_t sheet) : sheet_(sheet) {}
  void sheet(size_t, std::string_view) override {}
  bool wants_cells(size_t sheet) const override { return sheet == sheet_; }
  void cells(size_t, uint32_t row, uint32_t rows, uint32_t col, uint32_t cols, const Value& value) override {
    runs.add(CellArea{row, col, row + rows - 1, col + cols - 1}, value);
  }
  void named_range(std::string_view, std::string_view, std::string_view) override {}

  xml::CellRuns runs;

 private:
  size_t sheet_;
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
    xml::fill(grid, area_, CellArea{row, col, row + rows - 1, col + cols - 1}, value);
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

constexpr const char* kContent = "content.xml";

class OdsWorkbook : public Workbook {
 public:
  explicit OdsWorkbook(std::unique_ptr<zip::Archive> archive) : archive_(std::move(archive)) {
    if (is_encrypted(*archive_)) throw EngineError("Книга «" + archive_->display_name() + "» защищена паролем");
    GlobalsSink globals;
    index_ = ContentIndex::build(*archive_, kContent, globals);
    if (!index_) {
      // A document the index cannot cut up is read whole, every time.
      globals = GlobalsSink();
      read_content(*archive_->open(kContent), globals);
      used_ = std::move(globals.used);
      used_known_.assign(used_.size(), true);
    } else {
      used_.resize(globals.names.size());
      used_known_.assign(used_.size(), false);
    }
    sheet_names_ = std::move(globals.names);
    epoch_ = globals.epoch;
    for (auto& range : globals.ranges)
      names_.push_back(range.address.empty() ? classify_expression(range.name, range.expression, sheet_names_)
                                             : classify_range_address(range.name, range.address, sheet_names_));
  }

  const std::vector<std::string>& sheet_names() const override { return sheet_names_; }
  const std::vector<DefinedName>& defined_names() const override { return names_; }

  std::optional<CellArea> used_area(size_t sheet) override {
    check_sheet(sheet);
    if (!used_known_[sheet]) {
      UsedAreaSink sink(sheet);
      index_->read_sheet(sheet, epoch_, sink);
      used_[sheet] = sink.runs.used();
      used_known_[sheet] = true;
      // A table is read right after its sheet's used area is asked for.
      if (sink.runs.complete()) last_runs_ = {sheet, std::move(sink.runs)};
    }
    return used_[sheet];
  }

  CellGrid read_area(size_t sheet, const CellArea& area) override {
    check_sheet(sheet);
    xml::check_area(area, archive_->display_name(), sheet_names_[sheet]);
    // Nothing of the sheet lies in the area: no need to read the file.
    if (used_known_[sheet]) {
      const auto& used = used_[sheet];
      if (!used || area.first_row > used->last_row || area.last_row < used->first_row ||
          area.first_col > used->last_col || area.last_col < used->first_col)
        return xml::empty_grid(area);
    }
    if (last_runs_ && last_runs_->first == sheet) {
      CellGrid grid = last_runs_->second.grid(area);
      last_runs_.reset();
      return grid;
    }
    AreaSink sink(sheet, area);
    if (index_) index_->read_sheet(sheet, epoch_, sink);
    else read_content(*archive_->open(kContent), sink);
    return std::move(sink.grid);
  }

 private:
  void check_sheet(size_t sheet) const {
    if (sheet >= sheet_names_.size())
      throw EngineError("Книга «" + archive_->display_name() + "»: нет листа с номером " + std::to_string(sheet + 1));
  }

  std::unique_ptr<zip::Archive> archive_;
  std::unique_ptr<ContentIndex> index_;  // none: the document is read whole
  std::vector<std::string> sheet_names_;
  std::vector<std::optional<CellArea>> used_;
  std::vector<bool> used_known_;
  std::optional<std::pair<size_t, xml::CellRuns>> last_runs_;  // the cells met by the last used_area
  std::vector<DefinedName> names_;
  xml::Epoch epoch_;
};

}  // namespace

std::unique_ptr<Workbook> open_ods(std::unique_ptr<zip::Archive> archive) {
  return std::make_unique<OdsWorkbook>(std::move(archive));
}

}  // namespace vers::engine::ods
