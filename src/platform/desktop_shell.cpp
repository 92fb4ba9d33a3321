// Shell open on a Linux desktop: xdg-open, in a grandchild process so that
// the caller neither waits for the application nor leaves a zombie behind.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/shell.h"

namespace vers::platform {

void DesktopShell::open(const std::string& path, ShowMode) {
  // Everything the children need is made before fork: after it only
  // async-signal-safe calls are allowed.
  const char* argv[] = {"xdg-open", path.c_str(), nullptr};
  pid_t child = ::fork();
  if (child < 0) return;  // the outcome of Shell open is not examined
  if (child == 0) {
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild == 0) {
      int null_fd = ::open("/dev/null", O_RDWR);
      if (null_fd >= 0) {
        ::dup2(null_fd, 0);
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
      }
      ::execvp(argv[0], const_cast<char* const*>(argv));
      ::_exit(127);
    }
    ::_exit(0);
  }
  // The middle child ends at once; reaping it hands the grandchild to init.
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace vers::platform
