#include "platform/error_text.h"

namespace vers::platform {

std::string error_box_text(std::string_view failure_text) {
  std::string text(failure_text);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

}  // namespace vers::platform
