// Opens a workbook kept in a zip archive: an OpenDocument spreadsheet or an
// Office Open XML workbook, told apart by the archive's members.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_bytes.h"
#include "engine/workbook.h"

namespace vers::engine::zip {

// Throws EngineError naming display_name when the archive is damaged or
// holds neither kind of workbook.
std::unique_ptr<Workbook> open_zip_workbook(FileBytes bytes, const std::string& display_name);

}  // namespace vers::engine::zip
