#include "engine/zip/zip_workbook.h"

#include "engine/error.h"
#include "engine/ods/ods_workbook.h"
#include "engine/xlsx/xlsx_workbook.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::zip {
namespace {

constexpr std::string_view kSpreadsheetMime = "application/vnd.oasis.opendocument.spreadsheet";

// An OpenDocument package names its kind in the "mimetype" member; a
// package without one is taken for a spreadsheet when it has content.xml.
bool is_opendocument_spreadsheet(const Archive& archive) {
  if (archive.contains("mimetype")) {
    const std::string mime = archive.read_small("mimetype", 256);
    return mime.starts_with(kSpreadsheetMime);  // also the "-template" kind
  }
  return archive.contains("content.xml") && !archive.contains("[Content_Types].xml");
}

}  // namespace

std::unique_ptr<Workbook> open_zip_workbook(FileBytes bytes, const std::string& display_name) {
  auto archive = std::make_unique<Archive>(std::move(bytes), display_name);
  if (is_opendocument_spreadsheet(*archive)) return ods::open_ods(std::move(archive));
  if (xlsx::find_workbook_part(*archive))
    return xlsx::open_xlsx(std::move(archive));
  throw EngineError("Файл «" + display_name + "» не является книгой: в архиве zip нет электронной таблицы");
}

}  // namespace vers::engine::zip
