// The OpenDocument spreadsheet reader (.ods) behind Workbook.
#pragma once

#include <memory>

#include "engine/workbook.h"

namespace vers::engine::zip {
class Archive;
}

namespace vers::engine::ods {

// Reads the sheets and the workbook-wide named ranges in one streaming pass
// over content.xml that notes where each sheet lies; a sheet's used area and
// read_area parse only that sheet's bytes, keeping only the cells asked for. Throws EngineError when the archive
// holds no readable spreadsheet content.
std::unique_ptr<Workbook> open_ods(std::unique_ptr<zip::Archive> archive);

}  // namespace vers::engine::ods
