// The modal file-open dialog through which workbooks are chosen. The window
// shows it with Qt; tests answer it with scripted choices.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vers::platform {

class FileDialog {
 public:
  virtual ~FileDialog() = default;

  // Shows the dialog and waits for the user. On confirmation: the full
  // paths chosen in this opening, in the dialog's order, never an empty
  // list. On cancel: nothing.
  virtual std::optional<std::vector<std::string>> execute() = 0;
};

}  // namespace vers::platform
