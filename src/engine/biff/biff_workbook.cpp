#include "engine/biff/biff_workbook.h"

#include <algorithm>
#include <optional>

#include "engine/biff/messages.h"
#include "engine/biff/sheet_cells.h"
#include "engine/biff/workbook_globals.h"
#include "engine/cfb/compound_file.h"
#include "engine/crypto/biff_decryptor.h"
#include "engine/error.h"

namespace vers::engine::biff {
namespace {

// read_area allocates one Value per cell: a larger area is refused.
constexpr uint64_t kMaxAreaCells = 4'000'000;

class BiffWorkbook final : public Workbook {
 public:
  BiffWorkbook(cfb::StreamBytes stream, std::string book) : stream_(std::move(stream), book), book_(std::move(book)) {
    globals_ = read_workbook_globals(stream_.globals(), book_,
                                     {stream_.held_strings(), [this](size_t record) { stream_.prepare_strings(record); }});
    for (const SheetInfo& sheet : globals_.sheets) {
      sheet_names_.push_back(sheet.name);
      sheet_starts_.push_back(sheet.offset);
    }
    used_.resize(globals_.sheets.size());
  }

  const std::vector<std::string>& sheet_names() const override { return sheet_names_; }
  const std::vector<DefinedName>& defined_names() const override { return globals_.names; }

  std::optional<CellArea> used_area(size_t sheet) override {
    check_sheet(sheet);
    if (!used_[sheet]) used_[sheet] = scan(sheet, nullptr, nullptr);
    return *used_[sheet];
  }

  CellGrid read_area(size_t sheet, const CellArea& area) override {
    check_sheet(sheet);
    if (area.first_row > area.last_row || area.first_col > area.last_col)
      throw EngineError("Книга «" + book_ + "», лист «" + sheet_names_[sheet] + "»: пустая область");
    // In 64 bits: rows() wraps to 0 for an area of all 2^32 rows.
    const uint64_t rows = uint64_t{area.last_row} - area.first_row + 1;
    const uint64_t cells = rows * (uint64_t{area.last_col} - area.first_col + 1);
    if (cells > kMaxAreaCells)
      throw EngineError("Книга «" + book_ + "», лист «" + sheet_names_[sheet] + "»: область из " +
                        std::to_string(cells) + " ячеек больше допустимых " + std::to_string(kMaxAreaCells));
    CellGrid grid;
    grid.rows = area.rows();
    grid.cols = area.cols();
    grid.cells.resize(static_cast<size_t>(cells));
    std::optional<CellArea> used = scan(sheet, &area, &grid);
    if (!used_[sheet]) used_[sheet] = used;  // the same pass gives the used area
    return grid;
  }

  // A table's first read of a sheet: one pass finds the used area and, in
  // most files, the cells of the clipped area too.
  std::optional<ClippedArea> read_clipped_area(size_t sheet, const CellArea& area, uint64_t max_cells) override {
    check_sheet(sheet);
    const SheetInfo& info = globals_.sheets[sheet];
    const bool worksheet = info.kind == 0 || info.kind == 1;
    if (used_[sheet] || !worksheet || area.first_row > area.last_row || area.first_col > area.last_col)
      return Workbook::read_clipped_area(sheet, area, max_cells);
    const SheetSource source{stream_.substream(info.offset, sheet_starts_), globals_.version, globals_.codepage,
                             &globals_.strings, &book_, &info.name};
    // The grid laid out before the cells may take a few values per byte of
    // the sheet's records: a stated extent far past what they can hold
    // costs a second pass instead.
    const size_t end = source.stream.size();
    const uint64_t bytes = end > info.offset ? end - info.offset : 0;
    const uint64_t limit = std::min(max_cells, kMaxAreaCells);
    const uint64_t budget = std::min<uint64_t>(limit, std::max<uint64_t>(4096, bytes / 2));
    ClippedCells cells = read_clipped_sheet_cells(source, info.offset, area, budget, limit);
    used_[sheet] = cells.used;
    if (!cells.clipped) return std::nullopt;
    if (!cells.complete) return Workbook::read_clipped_area(sheet, area, max_cells);  // reads it again
    return ClippedArea{*cells.clipped, std::move(cells.grid)};
  }

 private:
  void check_sheet(size_t sheet) const {
    if (sheet >= sheet_names_.size())
      throw EngineError("В книге «" + book_ + "» нет листа номер " + std::to_string(sheet + 1));
  }

  std::optional<CellArea> scan(size_t sheet, const CellArea* area, CellGrid* grid) {
    const SheetInfo& info = globals_.sheets[sheet];
    if (info.kind != 0 && info.kind != 1) return std::nullopt;  // charts and modules hold no cells
    const SheetSource source{stream_.substream(info.offset, sheet_starts_), globals_.version, globals_.codepage,
                             &globals_.strings, &book_, &info.name};
    return read_sheet_cells(source, info.offset, area, grid);
  }

  crypto::WorkbookStream stream_;
  std::string book_;
  WorkbookGlobals globals_;
  std::vector<std::string> sheet_names_;
  std::vector<size_t> sheet_starts_;  // where each sheet's substream begins
  std::vector<std::optional<std::optional<CellArea>>> used_;  // outer: computed yet
};

[[noreturn]] void not_a_workbook(const std::string& book) {
  throw EngineError("Файл «" + book + "» не является книгой Excel");
}

}  // namespace

std::unique_ptr<Workbook> open_biff_workbook(FileBytes file, const std::string& book) {
  if (!cfb::has_signature(file.bytes())) {  // a workbook stream without a container
    const size_t size = file.bytes().size();
    cfb::StreamBytes stream(std::move(file), {FilePiece{0, size}});
    return std::make_unique<BiffWorkbook>(std::move(stream), book);
  }
  cfb::CompoundFile container(file.bytes(), book);
  const char* name = container.has_stream("Workbook") ? "Workbook" : "Book";  // Book: Excel 5 and 95
  std::optional<cfb::StreamBytes> stream = container.open_stream(name, std::move(file));
  if (!stream) {
    // A password-protected .xlsx is a compound file with the encrypted
    // package inside.
    if (container.has_stream("EncryptedPackage")) throw_password_protected(book);
    not_a_workbook(book);
  }
  return std::make_unique<BiffWorkbook>(std::move(*stream), book);
}

}  // namespace vers::engine::biff
