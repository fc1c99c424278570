#pragma once
// The modal boxes the shell's start-up work shows the operator. The window implements
// them with its toolkit; the headless program and the tests with their own.

#include <optional>
#include <string>

namespace tavrin {

class IOperatorDialogs {
 public:
  virtual ~IOperatorDialogs() = default;

  // An input box with Caption, Prompt, a field holding Initial and accepting at most
  // MaxChars characters, an "OK" button (the default) and a "Cancel" button. Returns
  // the field's content on OK (possibly empty), nullopt on Cancel or when the box is
  // closed. Texts are UTF-8. GUI thread only.
  virtual std::optional<std::string> InputBox(const std::string& Caption,
                                              const std::string& Prompt,
                                              const std::string& Initial, int MaxChars) = 0;

  // An error box (error icon, one "OK" button) with Caption and Text; returns when the
  // operator has closed it. GUI thread only.
  virtual void ErrorBox(const std::string& Caption, const std::string& Text) = 0;
};

}  // namespace tavrin
