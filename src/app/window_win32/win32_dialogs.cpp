#include "app/window_win32/win32_dialogs.h"

#include <string>
#include <vector>

#include "platform/utf16_win.h"

namespace tavrin {

namespace {

using platform::Narrow;
using platform::Widen;

// The controls' ids in the input box; OK and Cancel are the system's own.
constexpr WORD kInputEditId = 100;
constexpr WORD kInputPromptId = 101;
// The system's predefined classes in a dialog template.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
// The box's size and its font, in dialog units and points (dialog units follow the
// font and the system's resolution).
constexpr short kInputBoxWidth = 220;
constexpr short kInputBoxHeight = 74;
constexpr WORD kInputBoxPoints = 8;
constexpr wchar_t kInputBoxFont[] = L"Tahoma";

// A dialog template built in memory: the header, then each item, every part aligned as
// the system reads them.
class TDialogTemplate {
 public:
  TDialogTemplate(const std::wstring& Caption, WORD Items) {
    AddDword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    AddDword(0);
    FWords.push_back(Items);
    AddBounds(0, 0, kInputBoxWidth, kInputBoxHeight);
    FWords.push_back(0);  // no menu
    FWords.push_back(0);  // the standard dialog class
    AddText(Caption);
    FWords.push_back(kInputBoxPoints);
    AddText(kInputBoxFont);
  }

  void AddItem(DWORD Style, short Left, short Top, short Width, short Height, WORD Id, WORD ClassAtom,
               const std::wstring& Text) {
    if (FWords.size() % 2 != 0) FWords.push_back(0);  // items start on a double word
    AddDword(Style | WS_CHILD | WS_VISIBLE);
    AddDword(0);
    AddBounds(Left, Top, Width, Height);
    FWords.push_back(Id);
    FWords.push_back(0xFFFF);  // a predefined class follows
    FWords.push_back(ClassAtom);
    AddText(Text);
    FWords.push_back(0);  // no creation data
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(FWords.data()); }

 private:
  void AddDword(DWORD Value) {
    FWords.push_back(LOWORD(Value));
    FWords.push_back(HIWORD(Value));
  }
  void AddBounds(short Left, short Top, short Width, short Height) {
    for (short Value : {Left, Top, Width, Height}) FWords.push_back(static_cast<WORD>(Value));
  }
  void AddText(const std::wstring& Text) {
    for (wchar_t Character : Text) FWords.push_back(static_cast<WORD>(Character));
    FWords.push_back(0);
  }

  std::vector<WORD> FWords;  // a vector's storage is aligned for a double word
};

struct TInputBoxState {
  std::wstring Initial;
  int MaxChars;
  std::wstring Answer;
};

INT_PTR CALLBACK InputBoxProc(HWND Dialog, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_INITDIALOG: {
      auto* State = reinterpret_cast<TInputBoxState*>(LParam);
      SetWindowLongPtrW(Dialog, DWLP_USER, LParam);
      const HWND Edit = GetDlgItem(Dialog, kInputEditId);
      SendMessageW(Edit, EM_LIMITTEXT, static_cast<WPARAM>(State->MaxChars), 0);
      SetWindowTextW(Edit, State->Initial.c_str());
      SendMessageW(Edit, EM_SETSEL, 0, -1);
      SetFocus(Edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(WParam) == IDOK) {
        auto* State = reinterpret_cast<TInputBoxState*>(GetWindowLongPtrW(Dialog, DWLP_USER));
        const HWND Edit = GetDlgItem(Dialog, kInputEditId);
        std::wstring Text(static_cast<std::size_t>(GetWindowTextLengthW(Edit)) + 1, L'\0');
        Text.resize(static_cast<std::size_t>(GetWindowTextW(Edit, Text.data(), static_cast<int>(Text.size()))));
        State->Answer = Text;
        EndDialog(Dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(WParam) == IDCANCEL) {
        EndDialog(Dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<std::string> TWin32OperatorDialogs::InputBox(const std::string& Caption, const std::string& Prompt,
                                                           const std::string& Initial, int MaxChars) {
  TDialogTemplate Template(Widen(Caption), 4);
  Template.AddItem(SS_LEFT, 7, 7, 206, 18, kInputPromptId, kStaticAtom, Widen(Prompt));
  Template.AddItem(WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 28, 206, 13, kInputEditId, kEditAtom, L"");
  Template.AddItem(WS_TABSTOP | BS_DEFPUSHBUTTON, 109, 51, 50, 15, IDOK, kButtonAtom, L"OK");
  Template.AddItem(WS_TABSTOP | BS_PUSHBUTTON, 163, 51, 50, 15, IDCANCEL, kButtonAtom, L"Cancel");
  TInputBoxState State{Widen(Initial), MaxChars, {}};
  const INT_PTR Result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), Template.Get(), FOwner, &InputBoxProc,
                                                 reinterpret_cast<LPARAM>(&State));
  if (Result != IDOK) return std::nullopt;
  return Narrow(State.Answer);
}

void TWin32OperatorDialogs::ErrorBox(const std::string& Caption, const std::string& Text) {
  MessageBoxW(FOwner, Widen(Text).c_str(), Widen(Caption).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace tavrin
