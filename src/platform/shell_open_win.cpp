#include "platform/shell_open.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/utf16_win.h"

namespace tavrin::platform {

void OpenWithShell(const std::string& Address) noexcept {
  try {
    ShellExecuteW(nullptr, L"OPEN", Widen(Address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  } catch (...) {
  }
}

}  // namespace tavrin::platform
