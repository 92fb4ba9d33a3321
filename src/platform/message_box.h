// The modal boxes that the commands and the run show. The window shows them
// with Qt; tests answer them and record what was asked.
#pragma once

#include <string>

namespace vers::platform {

enum class BoxIcon { None, Question, Information, Warning, Stop };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;

  // Information message: the text, one OK button, no icon, captioned with
  // the application title, centred on the screen.
  virtual void information(const std::string& text) = 0;

  // Confirmation box: Yes and No, Yes the default, question icon. True only
  // for Yes.
  virtual bool confirm(const std::string& text, const std::string& caption) = 0;

  // A box with one OK button and the given icon.
  virtual void notice(const std::string& text, const std::string& caption, BoxIcon icon) = 0;
};

}  // namespace vers::platform
