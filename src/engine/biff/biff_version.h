// The two record dialects the reader knows: BIFF5/BIFF7 (Excel 5 and 95,
// 8-bit text in the workbook's code page) and BIFF8 (Excel 97 and later,
// 16-bit text, a shared string table).
#pragma once

namespace vers::engine::biff {

enum class BiffVersion { Biff5, Biff8 };

}  // namespace vers::engine::biff
