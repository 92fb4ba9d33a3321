#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/shell.h"
#include "verify/temp_dir.h"

namespace vers::platform {
namespace {

// The real DesktopShell, with an xdg-open of the test's own first on PATH:
// it writes what it was given and lingers, as a desktop application would.
TEST(DesktopShellTest, StartsXdgOpenDetachedWithoutWaitingOrZombies) {
  testing::TempDir dir;
  const std::string seen = dir.file("seen");
  const std::string script = dir.file("xdg-open");
  testing::write_bytes(script, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + seen + ".part\"\nmv \"" + seen + ".part\" \"" +
                                   seen + "\"\nsleep 2\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const char* old_path = std::getenv("PATH");
  const std::string saved = old_path ? old_path : "";
  setenv("PATH", (dir.path().string() + ":" + saved).c_str(), 1);

  DesktopShell shell;
  shell.open("/srv/отчёты/Errors.txt", ShowMode::Normal);
  setenv("PATH", saved.c_str(), 1);

  // No child of ours is left, running or dead: the launcher was reaped and
  // the application belongs to init.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  for (int i = 0; i < 200 && !std::filesystem::exists(seen); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(testing::read_bytes(seen), "/srv/отчёты/Errors.txt");
}

}  // namespace
}  // namespace vers::platform
