#include "platform/message_box.h"

#include <windows.h>

#include "platform/utf16_win.h"

namespace tavrin::platform {

void ShowErrorBox(const std::string& Caption, const std::string& Text) noexcept {
  try {
    // Task-modal: the program has no window to own the box.
    MessageBoxW(nullptr, Widen(Text).c_str(), Widen(Caption).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
  } catch (...) {
  }
}

}  // namespace tavrin::platform
