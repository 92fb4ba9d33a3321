// The reader of .xls and .xlt workbooks: BIFF8 and BIFF5/BIFF7 records in
// the workbook stream of a compound file (or, rarely, a bare stream).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_bytes.h"
#include "engine/workbook.h"

namespace vers::engine::biff {

// Opens the workbook held in file (a compound file, or a workbook stream
// on its own). Reads the container's directory and the workbook globals;
// a sheet's cells are read when a sheet is first asked for. book names the
// file in messages. Throws EngineError.
std::unique_ptr<Workbook> open_biff_workbook(FileBytes file, const std::string& book);

}  // namespace vers::engine::biff
