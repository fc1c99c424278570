#pragma once
// The operator's boxes for the program run without a window but not asked to be
// headless: error boxes are the system's own (platform/message_box.h: a real message
// box on Windows), the input box stays the prompt of the dialogs it wraps.

#include "shell/operator_dialogs.h"

namespace tavrin {

class TSystemErrorBoxes final : public IOperatorDialogs {
 public:
  // Prompts must outlive the object.
  explicit TSystemErrorBoxes(IOperatorDialogs& Prompts) : FPrompts(Prompts) {}

  std::optional<std::string> InputBox(const std::string& Caption, const std::string& Prompt,
                                      const std::string& Initial, int MaxChars) override {
    return FPrompts.InputBox(Caption, Prompt, Initial, MaxChars);
  }
  void ErrorBox(const std::string& Caption, const std::string& Text) override;

 private:
  IOperatorDialogs& FPrompts;
};

}  // namespace tavrin
