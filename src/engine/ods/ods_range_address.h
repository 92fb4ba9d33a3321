// What an OpenDocument named range refers to, from its cell range address:
// "$Лист1.$A$1:.$C$3", "$'Sheet ''1'''.$B$2", a list of ranges separated by
// blanks, a range across sheets, or a range of another document
// ("'file:///book.ods'#$Sheet1.$A$1").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook.h"

namespace vers::engine::ods {

DefinedName classify_range_address(std::string name, std::string_view address,
                                   const std::vector<std::string>& sheet_names);

// The same for a named expression that is made of references:
// "of:=[$Лист1.$A$1:.$B$2]" is one area, references joined by '~' are
// several; any other expression (a constant, a formula) is Other.
DefinedName classify_expression(std::string name, std::string_view expression,
                                const std::vector<std::string>& sheet_names);

}  // namespace vers::engine::ods
