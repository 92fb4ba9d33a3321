// Office Open XML writes characters that XML cannot hold (a carriage
// return, control characters) as "_xHHHH_", a UTF-16 unit in hex; "_x005F_"
// stands for the underscore itself, so "_x005F_x000D_" is the literal text
// "_x000D_".
#pragma once

#include <string>

namespace vers::engine::xlsx {

// Replaces every escape in text by its character.
void decode_x_escapes(std::string& text);

}  // namespace vers::engine::xlsx
