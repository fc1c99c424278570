#pragma once
// The operator's boxes on Win32: the input box is a real modal dialog (a prompt, an
// edit taking at most the given number of characters, OK as the default button and
// Cancel); the error box is the system's message box.

#include <windows.h>

#include "shell/operator_dialogs.h"

namespace tavrin {

class TWin32OperatorDialogs final : public IOperatorDialogs {
 public:
  // The window that owns the boxes (none: they stand alone). The thread that runs it.
  void SetOwner(HWND Owner) { FOwner = Owner; }

  std::optional<std::string> InputBox(const std::string& Caption, const std::string& Prompt,
                                      const std::string& Initial, int MaxChars) override;
  void ErrorBox(const std::string& Caption, const std::string& Text) override;

 private:
  HWND FOwner = nullptr;
};

}  // namespace tavrin
