#include "platform/terminal.h"

#include <unistd.h>

#include <cstdlib>
#include <initializer_list>

namespace tavrin::platform {

bool StandardInputIsTerminal() noexcept { return isatty(STDIN_FILENO) != 0; }

bool DisplayAvailable() noexcept {
  for (const char* Name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* Value = std::getenv(Name);
    if (Value != nullptr && *Value != '\0') return true;
  }
  return false;
}

}  // namespace tavrin::platform
