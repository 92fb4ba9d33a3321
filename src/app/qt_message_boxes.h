// The modal boxes of the program, shown with Qt's message box.
#pragma once

#include <QMessageBox>
#include <string>

#include "platform/message_box.h"

namespace vers::app {

// The application title: the caption of every Information message and of
// the box that shows a failure.
inline constexpr const char* kApplicationTitle =
    "Модуль проверки по формулам логического и арифметического контроля";

// A text as a box shows it: the line feed and carriage return that break a
// two-line text become one line break.
QString box_text(const std::string& text);

class QtMessageBoxes : public platform::MessageBoxes {
 public:
  // Confirmations and notices are centred on `parent` (the main window);
  // the Information message is centred on the screen.
  explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}

  void information(const std::string& text) override;
  bool confirm(const std::string& text, const std::string& caption) override;
  void notice(const std::string& text, const std::string& caption,
              platform::BoxIcon icon) override;

 private:
  QWidget* parent_;
};

}  // namespace vers::app
