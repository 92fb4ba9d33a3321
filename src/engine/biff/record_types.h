// Numbers of the BIFF records the reader looks at.
#pragma once

#include <cstdint>

namespace vers::engine::biff::record {

inline constexpr uint16_t kBof = 0x0809;
inline constexpr uint16_t kBofBiff2 = 0x0009;
inline constexpr uint16_t kBofBiff3 = 0x0209;
inline constexpr uint16_t kBofBiff4 = 0x0409;
inline constexpr uint16_t kEof = 0x000A;
inline constexpr uint16_t kContinue = 0x003C;

// Workbook globals
inline constexpr uint16_t kFilePass = 0x002F;
inline constexpr uint16_t kCodePage = 0x0042;
inline constexpr uint16_t kBoundSheet = 0x0085;
inline constexpr uint16_t kSst = 0x00FC;
inline constexpr uint16_t kExternSheet = 0x0017;
inline constexpr uint16_t kSupBook = 0x01AE;
inline constexpr uint16_t kName = 0x0018;

// Cells
inline constexpr uint16_t kDimensions = 0x0200;  // the extent of the sheet's cells, as the writer states it
inline constexpr uint16_t kNumber = 0x0203;
inline constexpr uint16_t kRk = 0x027E;
inline constexpr uint16_t kMulRk = 0x00BD;
inline constexpr uint16_t kLabelSst = 0x00FD;
inline constexpr uint16_t kLabel = 0x0204;
inline constexpr uint16_t kRString = 0x00D6;
inline constexpr uint16_t kBoolErr = 0x0205;
inline constexpr uint16_t kBlank = 0x0201;
inline constexpr uint16_t kMulBlank = 0x00BE;
inline constexpr uint16_t kFormula = 0x0006;
inline constexpr uint16_t kString = 0x0207;  // a formula's text result

}  // namespace vers::engine::biff::record
