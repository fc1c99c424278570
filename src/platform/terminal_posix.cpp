#include "platform/terminal.h"

#include <unistd.h>

#include <cstdlib>
#include <initializer_list>

namespace tavrin::platform {

bool StandardInputIsTerminal() noexcept { return isatty(STDIN_FILENO) != 0; }

bool StandardOutputRedirected() noexcept { return isatty(STDOUT_FILENO) == 0; }

void UseParentConsole() noexcept {}

void HoldConsole() noexcept {}

bool DisplayAvailable() noexcept {
  for (const char* Name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* Value = std::getenv(Name);
    if (Value != nullptr && *Value != '\0') return true;
  }
  return false;
}

}  // namespace tavrin::platform
