// The Win32 input box: a real dialog with the prompt, the initial text, an edit that
// takes at most the given number of characters, OK (the answer, possibly empty) and
// Cancel (no answer).

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/window_win32/win32_dialogs.h"
#include "platform/utf16_win.h"

namespace tavrin {
namespace {

using platform::Narrow;
using platform::Widen;

const std::string kCaption = "Conex\u00e3o ao banco de dados";

// What the operator's side saw of the box, and did to it.
struct TOperator {
  std::string Prompt;
  std::string Initial;
  LRESULT Limit = 0;
  std::string Typed;  // what the edit holds after typing
};

std::string DialogItemText(HWND Dialog, int Id) {
  wchar_t Text[1024] = {};
  GetDlgItemTextW(Dialog, Id, Text, 1024);
  return Narrow(std::wstring(Text));
}

// On another thread, as the operator: waits for the box, looks at it, replaces the
// edit's text with Typing through the keyboard's path (which honours the limit), then
// presses Button.
std::thread Operate(TOperator& Seen, const std::wstring& Typing, int Button) {
  return std::thread([&Seen, Typing, Button] {
    HWND Box = nullptr;
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // The box exists before its controls are made and filled; it is shown once they are.
    while (((Box = FindWindowW(L"#32770", Widen(kCaption).c_str())) == nullptr || !IsWindowVisible(Box)) &&
           std::chrono::steady_clock::now() < Deadline) {
      Sleep(10);
    }
    if (Box == nullptr || !IsWindowVisible(Box)) return;
    const HWND Edit = FindWindowExW(Box, nullptr, L"Edit", nullptr);
    Seen.Initial = Narrow([&] {
      std::wstring Text(300, L'\0');
      Text.resize(static_cast<std::size_t>(GetWindowTextW(Edit, Text.data(), 300)));
      return Text;
    }());
    const HWND Prompt = FindWindowExW(Box, nullptr, L"Static", nullptr);
    std::wstring PromptText(300, L'\0');
    PromptText.resize(static_cast<std::size_t>(GetWindowTextW(Prompt, PromptText.data(), 300)));
    Seen.Prompt = Narrow(PromptText);
    Seen.Limit = SendMessageW(Edit, EM_GETLIMITTEXT, 0, 0);
    SendMessageW(Edit, EM_SETSEL, 0, -1);
    SendMessageW(Edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Typing.c_str()));
    Seen.Typed = DialogItemText(Box, GetDlgCtrlID(Edit));
    PostMessageW(Box, WM_COMMAND, MAKEWPARAM(Button, BN_CLICKED), 0);
  });
}

TEST(Win32OperatorDialogs, InputBoxShowsItsTextsLimitsTheFieldAndAnswersOkOrCancel) {
  const struct {
    std::wstring Typing;
    int Button;
    std::optional<std::string> Answer;
  } Cases[] = {
      {L"D:\\Dados\\", IDOK, "D:\\Dados\\"},
      {L"", IDOK, ""},
      {std::wstring(300, L'a'), IDOK, std::string(255, 'a')},
      {L"D:\\Outra", IDCANCEL, std::nullopt},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Button);
    TWin32OperatorDialogs Dialogs;
    TOperator Seen;
    std::thread Operator = Operate(Seen, Case.Typing, Case.Button);
    const std::optional<std::string> Answer =
        Dialogs.InputBox(kCaption, "Informe a pasta onde est\u00e1 localizado o banco de dados:", "s:\\wzultab.ser", 255);
    Operator.join();
    EXPECT_EQ(Answer, Case.Answer);
    EXPECT_EQ(Seen.Prompt, "Informe a pasta onde est\u00e1 localizado o banco de dados:");
    EXPECT_EQ(Seen.Initial, "s:\\wzultab.ser");
    EXPECT_EQ(Seen.Limit, 255);
    EXPECT_EQ(Seen.Typed.size(), std::min<std::size_t>(Case.Typing.size(), 255));
  }
}

}  // namespace
}  // namespace tavrin
