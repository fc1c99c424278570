#pragma once
// The operator's boxes for the program without a window. The input box becomes a
// prompt when someone sits at a terminal (Enter keeps the suggested text, end of input
// counts as Cancel) and the Cancel answer when nobody does (a service); the error box
// becomes a message on the error stream.

#include <istream>
#include <ostream>

#include "shell/operator_dialogs.h"

namespace tavrin {

class THeadlessDialogs final : public IOperatorDialogs {
 public:
  // The streams must outlive the object. Interactive: whether In is a terminal someone
  // can answer at.
  THeadlessDialogs(std::istream& In, std::ostream& Out, std::ostream& Err, bool Interactive)
      : FIn(In), FOut(Out), FErr(Err), FInteractive(Interactive) {}

  std::optional<std::string> InputBox(const std::string& Caption, const std::string& Prompt,
                                      const std::string& Initial, int MaxChars) override;
  void ErrorBox(const std::string& Caption, const std::string& Text) override;

 private:
  std::istream& FIn;
  std::ostream& FOut;
  std::ostream& FErr;
  const bool FInteractive;
};

}  // namespace tavrin
