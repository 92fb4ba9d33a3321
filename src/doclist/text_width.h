// Measures a text as the list control draws it: one line, in the list's own
// font. The scroll extent of the list is computed from these widths.
#pragma once

#include <string>

namespace vers::doclist {

class TextWidth {
 public:
  virtual ~TextWidth() = default;
  // The width in pixels of the whole text as one line.
  virtual int text_width(const std::string& text) const = 0;
};

}  // namespace vers::doclist
