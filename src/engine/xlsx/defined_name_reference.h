// What an Office Open XML defined name refers to, from its formula text:
// "Лист1!$A$1:$C$3", "'Sheet name'!$A$1", a list of areas, a 3-D span
// ("Sheet1:Sheet3!A1"), another workbook ("[1]Sheet1!A1"), or anything
// else (a constant, a formula, "#REF!").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook.h"

namespace vers::engine::xlsx {

DefinedName classify_reference(std::string name, std::string_view formula,
                               const std::vector<std::string>& sheet_names);

}  // namespace vers::engine::xlsx
