#include "engine/xlsx/xlsx_workbook.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "engine/error.h"
#include "engine/xlsx/defined_name_reference.h"
#include "engine/xlsx/relationships.h"
#include "engine/xlsx/shared_strings.h"
#include "engine/xlsx/sheet_cells.h"
#include "engine/xml/cell_runs.h"
#include "engine/xml/limits.h"
#include "engine/xml/xml_reader.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::xlsx {
namespace {

// What the workbook part lists.
class WorkbookPartHandler : public xml::Handler {
 public:
  struct Sheet {
    std::string name;
    std::string relationship_id;
  };
  struct Name {
    std::string name;
    std::string formula;
    bool local = false;
  };

  void start_element(const xml::Name& name, const xml::Attributes& a) override {
    ++depth_;
    if (name.local == "sheet") {
      const char* sheet_name = a.find("", "name");
      // The relationship id is in the relationships namespace, whose URI
      // differs between transitional and strict files.
      const char* id = a.find_local("id");
      sheets.push_back({sheet_name ? sheet_name : "", id ? id : ""});
    } else if (name.local == "definedName") {
      name_depth_ = depth_;
      const char* n = a.find("", "name");
      names.push_back({n ? n : "", "", a.find("", "localSheetId") != nullptr});
    } else if (name.local == "workbookPr") {
      const char* flag = a.find("", "date1904");
      date1904 = flag && (std::strcmp(flag, "1") == 0 || std::strcmp(flag, "true") == 0);
    }
  }
  void end_element(const xml::Name&) override {
    if (depth_ == name_depth_) name_depth_ = 0;
    --depth_;
  }
  void text(std::string_view chars) override {
    if (!name_depth_) return;
    names.back().formula += chars;
    if (names.back().formula.size() > xml::kMaxCellText)
      throw EngineError("Книга «" + file + "»: слишком длинное определение имени «" + names.back().name + "»");
  }

  std::string file;
  std::vector<Sheet> sheets;
  std::vector<Name> names;
  bool date1904 = false;

 private:
  int depth_ = 0, name_depth_ = 0;
};

// The used area of a sheet, and its cells while they are few enough.
class UsedAreaSink : public CellSink {
 public:
  void cell(uint32_t row, uint32_t col, Value value) override { runs.add(CellArea{row, col, row, col}, value); }
  xml::CellRuns runs;
};

// Keeps the cells of one area; ends the reading at the first row below it.
class AreaSink : public CellSink {
 public:
  explicit AreaSink(const CellArea& area) : area_(area), grid(xml::empty_grid(area)) {}
  void row(uint32_t row) override { past_ = row > area_.last_row; }
  void cell(uint32_t row, uint32_t col, Value value) override {
    if (row < area_.first_row || row > area_.last_row || col < area_.first_col || col > area_.last_col) return;
    grid.cells[size_t(row - area_.first_row) * grid.cols + (col - area_.first_col)] = std::move(value);
  }
  bool done() const override { return past_; }

 private:
  CellArea area_;
  bool past_ = false;

 public:
  CellGrid grid;
};

class XlsxWorkbook : public Workbook {
 public:
  explicit XlsxWorkbook(std::unique_ptr<zip::Archive> archive) : archive_(std::move(archive)) {
    const std::string main = find_workbook_part(*archive_).value_or("xl/workbook.xml");
    WorkbookPartHandler workbook;
    workbook.file = archive_->display_name();
    xml::parse(*archive_->open(main), workbook);
    if (workbook.date1904) epoch_ = xml::Epoch{1904, 1, 1};

    const auto relationships = read_relationships(*archive_, main);
    for (const auto& sheet : workbook.sheets) {
      sheet_names_.push_back(sheet.name);
      SheetPart part;
      for (const auto& r : relationships) {
        if (r.id != sheet.relationship_id) continue;
        part.member = r.part;
        part.has_cells = type_is(r, "worksheet") || type_is(r, "macrosheet");
      }
      sheets_.push_back(std::move(part));
    }
    for (const auto& name : workbook.names) {
      if (name.local || name.name.starts_with("_xlnm.")) continue;
      names_.push_back(classify_reference(name.name, name.formula, sheet_names_));
    }

    std::string strings_member;
    for (const auto& r : relationships)
      if (type_is(r, "sharedStrings")) strings_member = r.part;
    if (strings_member.empty() && archive_->contains("xl/sharedStrings.xml")) strings_member = "xl/sharedStrings.xml";
    if (!strings_member.empty() && archive_->contains(strings_member))
      strings_ = SharedStrings::read(*archive_, strings_member);
  }

  const std::vector<std::string>& sheet_names() const override { return sheet_names_; }
  const std::vector<DefinedName>& defined_names() const override { return names_; }

  std::optional<CellArea> used_area(size_t sheet) override {
    check_sheet(sheet);
    SheetPart& part = sheets_[sheet];
    if (!part.used_known) {
      UsedAreaSink sink;
      scan(sheet, sink);
      part.used = sink.runs.used();
      part.used_known = true;
      // A table is read right after its sheet's used area is asked for.
      if (sink.runs.complete()) last_runs_ = {sheet, std::move(sink.runs)};
    }
    return part.used;
  }

  CellGrid read_area(size_t sheet, const CellArea& area) override {
    check_sheet(sheet);
    xml::check_area(area, archive_->display_name(), sheet_names_[sheet]);
    if (last_runs_ && last_runs_->first == sheet) {
      CellGrid grid = last_runs_->second.grid(area);
      last_runs_.reset();
      return grid;
    }
    AreaSink sink(area);
    scan(sheet, sink);
    return std::move(sink.grid);
  }

 private:
  struct SheetPart {
    std::string member;
    bool has_cells = false;  // a chart sheet has none
    bool used_known = false;
    std::optional<CellArea> used;
  };

  void scan(size_t sheet, CellSink& sink) const {
    const SheetPart& part = sheets_[sheet];
    if (!part.member.empty() && !part.has_cells) return;  // a chart sheet
    if (part.member.empty() || !archive_->contains(part.member))
      throw EngineError("Файл «" + archive_->display_name() + "» повреждён: нет данных листа «" +
                        sheet_names_[sheet] + "»");
    SheetContext context{&strings_, epoch_, sheet_names_[sheet]};
    read_sheet_cells(*archive_->open(part.member), context, sink);
  }

  void check_sheet(size_t sheet) const {
    if (sheet >= sheet_names_.size())
      throw EngineError("Книга «" + archive_->display_name() + "»: нет листа с номером " + std::to_string(sheet + 1));
  }

  std::unique_ptr<zip::Archive> archive_;
  xml::Epoch epoch_;
  std::vector<std::string> sheet_names_;
  std::vector<SheetPart> sheets_;
  std::vector<DefinedName> names_;
  SharedStrings strings_;
  std::optional<std::pair<size_t, xml::CellRuns>> last_runs_;  // the cells met by the last used_area
};

}  // namespace

std::optional<std::string> find_workbook_part(const zip::Archive& archive) {
  for (const auto& r : read_relationships(archive, ""))
    if (type_is(r, "officeDocument") && archive.contains(r.part)) {
      if (!r.part.ends_with(".xml")) return std::nullopt;  // a binary workbook
      return r.part;
    }
  if (archive.contains("xl/workbook.xml")) return "xl/workbook.xml";
  return std::nullopt;
}

std::unique_ptr<Workbook> open_xlsx(std::unique_ptr<zip::Archive> archive) {
  return std::make_unique<XlsxWorkbook>(std::move(archive));
}

}  // namespace vers::engine::xlsx
