// The system's error box: on Windows a real message box, found on screen and closed
// with its OK button as an operator would; elsewhere the line that stands in for it.

#include <gtest/gtest.h>

#include "platform/message_box.h"

#if defined(_WIN32)
#include <windows.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#endif

namespace tavrin::platform {
namespace {

#if defined(_WIN32)

constexpr wchar_t kDialogClass[] = L"#32770";  // the system's class of dialog boxes
constexpr int kMessageTextId = 0xFFFF;         // the box's static text
constexpr ULONG_PTR kErrorIconNumber = 32513;  // IDI_ERROR, the system's error icon

struct TSeenBox {
  bool Found = false;
  std::wstring Text;
  bool HasErrorIcon = false;
  bool HasOk = false;
  bool HasCancel = false;
};

// Whether one of Box's controls shows the system's error icon.
bool ShowsErrorIcon(HWND Box) {
  struct TSearch {
    HICON Wanted;
    bool Found;
  } Search{LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(kErrorIconNumber)), false};
  EnumChildWindows(
      Box,
      [](HWND Child, LPARAM Data) -> BOOL {
        auto& Found = *reinterpret_cast<TSearch*>(Data);
        const auto Icon = reinterpret_cast<HICON>(SendMessageW(Child, STM_GETICON, 0, 0));
        if (Icon != nullptr && Icon == Found.Wanted) Found.Found = true;
        return !Found.Found;
      },
      reinterpret_cast<LPARAM>(&Search));
  return Search.Found;
}

// Waits up to ten seconds for the box captioned Caption, notes what it shows and
// presses its OK button.
TSeenBox PressOkOnBox(const wchar_t* Caption) {
  TSeenBox Seen;
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < Deadline) {
    const HWND Box = FindWindowW(kDialogClass, Caption);
    if (Box == nullptr) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    wchar_t Text[512] = {};
    GetDlgItemTextW(Box, kMessageTextId, Text, 512);
    Seen = {true, Text, ShowsErrorIcon(Box), GetDlgItem(Box, IDOK) != nullptr,
            GetDlgItem(Box, IDCANCEL) != nullptr};
    PostMessageW(Box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    break;
  }
  return Seen;
}

TEST(SystemErrorBox, IsAMessageBoxWithTheTextAnIconAndOneOkButton) {
  auto Operator = std::async(std::launch::async, [] { return PressOkOnBox(L"Erro"); });
  ShowErrorBox("Erro", "N\u00e3o foi localizado um banco de dados do software ZUL na pasta C:\\Z");
  const TSeenBox Seen = Operator.get();
  ASSERT_TRUE(Seen.Found) << "no box captioned Erro appeared";
  EXPECT_EQ(Seen.Text, L"N\u00e3o foi localizado um banco de dados do software ZUL na pasta C:\\Z");
  EXPECT_TRUE(Seen.HasErrorIcon);
  EXPECT_TRUE(Seen.HasOk);
  EXPECT_FALSE(Seen.HasCancel);
}

#else

TEST(SystemErrorBox, IsALineOnStandardError) {
  ::testing::internal::CaptureStderr();
  ShowErrorBox("Application Error", "TDBXError: Could not bind socket.");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Application Error: TDBXError: Could not bind socket.\n");
}

#endif

}  // namespace
}  // namespace tavrin::platform
