// The text of the error box that shows a failure nobody caught, in the
// window and on the command line alike.
#pragma once

#include <string>
#include <string_view>

namespace vers::platform {

// The failure's text with a full stop added when its last character sorts
// after '.': "File not found" gains one, "Ошибка!" and "(1)" do not. A
// letter outside ASCII (UTF-8 bytes >= 0x80) gains one too.
std::string error_box_text(std::string_view failure_text);

}  // namespace vers::platform
