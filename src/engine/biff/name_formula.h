// What a defined name's formula refers to: one area, several areas, an area
// of another workbook, or anything else. Only the reference tokens that a
// name of an area is made of are understood; every other formula is Other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/biff/biff_version.h"
#include "engine/workbook.h"

namespace vers::engine::biff {

// The tables that 3-D references point into.
struct ExternSheets {
  // BIFF8: the EXTERNSHEET list (index of a SUPBOOK, first and last sheet
  // there) and, per SUPBOOK record, whether it stands for this workbook.
  struct Biff8Entry {
    uint16_t supbook = 0;
    uint16_t first_sheet = 0;
    uint16_t last_sheet = 0;
  };
  std::vector<Biff8Entry> biff8;
  std::vector<bool> supbook_is_own;
  // BIFF5: per EXTERNSHEET record, whether it names a sheet of this workbook.
  std::vector<bool> biff5_is_own;
};

struct NameTarget {
  DefinedName::Kind kind = DefinedName::Kind::Other;
  size_t sheet = 0;  // for Area
  CellArea area;     // for Area
};

NameTarget classify_name_formula(std::span<const uint8_t> tokens, BiffVersion version,
                                 const ExternSheets& extern_sheets, size_t sheet_count);

}  // namespace vers::engine::biff
