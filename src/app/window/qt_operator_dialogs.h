#pragma once
// The operator's boxes as Qt dialogs: the input box with its "OK" and "Cancel" buttons
// and a length limit, and the error box with the error icon and one "OK" button.

#include <QPointer>
#include <QWidget>

#include "shell/operator_dialogs.h"

namespace tavrin {

class TQtOperatorDialogs final : public IOperatorDialogs {
 public:
  // Parent: the window the boxes belong to (may be null: a box of its own).
  explicit TQtOperatorDialogs(QWidget* Parent = nullptr) : FParent(Parent) {}
  void SetParent(QWidget* Parent) { FParent = Parent; }

  std::optional<std::string> InputBox(const std::string& Caption, const std::string& Prompt,
                                      const std::string& Initial, int MaxChars) override;
  void ErrorBox(const std::string& Caption, const std::string& Text) override;

 private:
  QPointer<QWidget> FParent;
};

}  // namespace tavrin
