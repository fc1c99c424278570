#include "platform/terminal.h"

#include <io.h>

#include <cstdio>

namespace tavrin::platform {

bool StandardInputIsTerminal() noexcept { return _isatty(_fileno(stdin)) != 0; }

bool DisplayAvailable() noexcept { return true; }

}  // namespace tavrin::platform
