// A small Win32 helper for the window's end-to-end tests under Wine: finds a top-level
// window by its title and prints its controls, or closes it, or presses its OK button;
// or prints a file's version resource. Output is UTF-8, one item a line.
//
//   window_probe dump TITLE [SECONDS]   client W H, then per control (creation order):
//                                       CLASS<TAB>LEFT<TAB>TOP<TAB>WIDTH<TAB>HEIGHT<TAB>TEXT
//                                       (line breaks in TEXT as \n); waits up to SECONDS
//   window_probe close TITLE            posts WM_CLOSE
//   window_probe ok TITLE               posts the OK button's click
//   window_probe version FILE           FileVersion of the version resource
// Exit code 0 on success, 1 when the window or the resource is not there, 2 on usage.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/utf16_win.h"

namespace {

using tavrin::platform::Narrow;
using tavrin::platform::Widen;

void Print(const std::string& Line) {
  std::fwrite(Line.data(), 1, Line.size(), stdout);
  std::fputc('\n', stdout);
}

std::string TextOf(HWND Window) {
  DWORD_PTR Length = 0;
  if (!SendMessageTimeoutW(Window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &Length)) return {};
  std::wstring Text(static_cast<std::size_t>(Length) + 1, L'\0');
  DWORD_PTR Copied = 0;
  SendMessageTimeoutW(Window, WM_GETTEXT, Text.size(), reinterpret_cast<LPARAM>(Text.data()), SMTO_ABORTIFHUNG, 5000,
                      &Copied);
  Text.resize(static_cast<std::size_t>(Copied));
  std::string Result;
  for (const char Character : Narrow(Text)) {
    if (Character == '\r') continue;
    if (Character == '\n') Result += "\\n";
    else Result += Character;
  }
  return Result;
}

HWND FindTopLevel(const std::string& Title, int Seconds) {
  const std::wstring Wide = Widen(Title);
  for (int Tries = 0; Tries <= Seconds * 10; ++Tries) {
    if (const HWND Window = FindWindowW(nullptr, Wide.c_str()); Window != nullptr) return Window;
    Sleep(100);
  }
  return nullptr;
}

BOOL CALLBACK CollectChild(HWND Child, LPARAM Into) {
  reinterpret_cast<std::vector<HWND>*>(Into)->push_back(Child);
  return TRUE;
}

int Dump(HWND Window) {
  RECT Client{};
  GetClientRect(Window, &Client);
  Print("client " + std::to_string(Client.right) + " " + std::to_string(Client.bottom));
  std::vector<HWND> Children;
  EnumChildWindows(Window, &CollectChild, reinterpret_cast<LPARAM>(&Children));
  for (const HWND Child : Children) {
    wchar_t Class[128] = {};
    GetClassNameW(Child, Class, 128);
    RECT Bounds{};
    GetWindowRect(Child, &Bounds);
    MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&Bounds), 2);
    Print(Narrow(std::wstring(Class)) + "\t" + std::to_string(Bounds.left) + "\t" + std::to_string(Bounds.top) + "\t" +
          std::to_string(Bounds.right - Bounds.left) + "\t" + std::to_string(Bounds.bottom - Bounds.top) + "\t" +
          TextOf(Child));
  }
  return 0;
}

int Version(const std::string& File) {
  const std::wstring Path = Widen(File);
  DWORD Ignored = 0;
  const DWORD Size = GetFileVersionInfoSizeW(Path.c_str(), &Ignored);
  if (Size == 0) return 1;
  std::vector<char> Data(Size);
  if (!GetFileVersionInfoW(Path.c_str(), 0, Size, Data.data())) return 1;
  struct TTranslation {
    WORD Language;
    WORD CodePage;
  }* Translations = nullptr;
  UINT Length = 0;
  if (!VerQueryValueW(Data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&Translations), &Length) ||
      Length < sizeof(TTranslation)) {
    return 1;
  }
  wchar_t Key[64] = {};
  swprintf(Key, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", Translations->Language, Translations->CodePage);
  wchar_t* Value = nullptr;
  if (!VerQueryValueW(Data.data(), Key, reinterpret_cast<void**>(&Value), &Length)) return 1;
  Print(Narrow(std::wstring(Value)));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string Command = argv[1];
  if (Command == "version") return Version(argv[2]);
  const HWND Window = FindTopLevel(argv[2], argc > 3 ? std::atoi(argv[3]) : 0);
  if (Window == nullptr) return 1;
  if (Command == "dump") return Dump(Window);
  if (Command == "close") return PostMessageW(Window, WM_CLOSE, 0, 0) ? 0 : 1;
  if (Command == "ok") return PostMessageW(Window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) ? 0 : 1;
  return 2;
}
