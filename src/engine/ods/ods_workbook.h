// The OpenDocument spreadsheet reader (.ods) behind Workbook.
#pragma once

#include <memory>

#include "engine/workbook.h"

namespace vers::engine::zip {
class Archive;
}

namespace vers::engine::ods {

// Reads the sheets, the workbook-wide named ranges and each sheet's used
// area in one streaming pass over content.xml; read_area streams it again
// and keeps only the cells of the area. Throws EngineError when the archive
// holds no readable spreadsheet content.
std::unique_ptr<Workbook> open_ods(std::unique_ptr<zip::Archive> archive);

}  // namespace vers::engine::ods
