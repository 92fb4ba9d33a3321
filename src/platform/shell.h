// Shell open: hands a file to the desktop, which opens it in the application
// it associates with the file. The call does not wait for that application
// and its outcome is never examined.
#pragma once

#include <string>

namespace vers::platform {

// How the launched window should appear; on a Linux desktop both come out
// the same, but the callers still say which they mean.
enum class ShowMode { Normal = 1, Restore = 9 };

class Shell {
 public:
  virtual ~Shell() = default;
  virtual void open(const std::string& path, ShowMode mode) = 0;
};

// The desktop's own: xdg-open, started detached.
class DesktopShell : public Shell {
 public:
  void open(const std::string& path, ShowMode mode) override;
};

}  // namespace vers::platform
