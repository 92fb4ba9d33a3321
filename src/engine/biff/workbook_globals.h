// The workbook globals substream at the start of the workbook stream: the
// BIFF version, the code page, the sheets, the workbook-wide defined names
// and the shared string table. Cells are not read here.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/biff/biff_version.h"
#include "engine/biff/record_reader.h"
#include "engine/biff/shared_strings.h"
#include "engine/workbook.h"

namespace vers::engine::biff {

// Hidden and very hidden sheets are sheets like any other here.
struct SheetInfo {
  std::string name;
  uint32_t offset = 0;  // of the sheet's BOF record in the stream
  uint8_t kind = 0;     // 0 worksheet, 1 macro sheet, 2 chart, 6 module
};

struct WorkbookGlobals {
  BiffVersion version = BiffVersion::Biff8;
  uint16_t codepage = 1252;
  std::vector<SheetInfo> sheets;
  std::vector<DefinedName> names;  // workbook-wide, user-defined, in file order
  SharedStrings strings;
};

// The BIFF version that the stream's first record, its BOF, names. Throws
// EngineError naming book for a BIFF version before 5 or a missing BOF.
BiffVersion version_of_bof(const Record& bof, const std::string& book);

// A shared string table whose records are not readable in the stream yet
// (crypto::WorkbookStream holds back their decryption): the records, with
// views where their data will be, and what makes them readable.
struct HeldStrings {
  std::vector<Record> records;  // the SST record and its CONTINUE records
  SharedStrings::Prepare prepare;
};

// Reads the globals of a stream that is not encrypted, or no longer is
// (crypto::WorkbookStream), but for the held string table, which is taken
// in from held where the walk over the records comes to it. Throws
// EngineError naming book when the workbook is of a BIFF version before 5,
// or is damaged.
WorkbookGlobals read_workbook_globals(std::span<const uint8_t> stream, const std::string& book,
                                      HeldStrings held = {});

}  // namespace vers::engine::biff
