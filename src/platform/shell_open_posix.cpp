#include "platform/shell_open.h"

#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace tavrin::platform {

void OpenWithShell(const std::string& Address) noexcept {
  try {
    std::string Program = "xdg-open";
    std::string Argument = Address;
    char* Argv[] = {Program.data(), Argument.data(), nullptr};
    pid_t Child = 0;
    if (posix_spawnp(&Child, Program.c_str(), nullptr, nullptr, Argv, environ) != 0) return;
    // Reaped on the side, so the caller never waits for the browser.
    std::thread([Child] { waitpid(Child, nullptr, 0); }).detach();
  } catch (...) {
  }
}

}  // namespace tavrin::platform
