#pragma once
// Hands a web address to the desktop to open with the user's browser: on Windows the
// shell's "OPEN" verb (ShellExecuteW, normal window), elsewhere xdg-open. Returns at
// once; a failure is not reported (there is nothing the operator could do about it).

#include <string>

namespace tavrin::platform {

void OpenWithShell(const std::string& Address) noexcept;

}  // namespace tavrin::platform
