// The Office Open XML workbook reader (.xlsx, .xlsm) behind Workbook.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/workbook.h"

namespace vers::engine::zip {
class Archive;
}

namespace vers::engine::xlsx {

// The member that holds the workbook part (usually "xl/workbook.xml"), as
// the package relationships name it; nothing when the archive holds no XML
// workbook (a binary .xlsb workbook included).
std::optional<std::string> find_workbook_part(const zip::Archive& archive);

// Opening reads the package relationships, the workbook part (sheets,
// defined names, date system) and the shared strings; a sheet's part is
// streamed only when used_area or read_area asks for it. Throws EngineError
// when the archive holds no readable workbook.
std::unique_ptr<Workbook> open_xlsx(std::unique_ptr<zip::Archive> archive);

}  // namespace vers::engine::xlsx
