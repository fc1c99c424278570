#include "app/window_win32/main_window_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/utf16_win.h"
#include "shell/data_folder.h"
#include "shell/failure_report.h"
#include "shell/shell_constants.h"

namespace tavrin {

namespace {

using platform::Widen;

constexpr wchar_t kWindowClass[] = L"TAVRIN.MainWindow";
// Posted by the first activation: the start-up work runs from the message loop, not
// inside the activation itself (it may show modal boxes).
constexpr UINT kStartUpMessage = WM_APP + 2;
constexpr UINT_PTR kFirstControlId = 100;

std::wstring WideOf(std::string_view Text) { return Widen(std::string(Text)); }

COLORREF ToColorRef(const form::TRgb& Colour) { return RGB(Colour.Red, Colour.Green, Colour.Blue); }

void RegisterMainWindowClass(WNDPROC Procedure) {
  static const bool Registered = [Procedure] {
    INITCOMMONCONTROLSEX Controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&Controls);
    WNDCLASSEXW Class{};
    Class.cbSize = sizeof(Class);
    Class.lpfnWndProc = Procedure;
    Class.hInstance = GetModuleHandleW(nullptr);
    Class.hIcon = LoadIconW(Class.hInstance, MAKEINTRESOURCEW(1));
    if (Class.hIcon == nullptr) Class.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    Class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    Class.lpszClassName = kWindowClass;
    return RegisterClassExW(&Class) != 0;
  }();
  if (!Registered) throw std::runtime_error("the main window's class could not be registered");
}

std::wstring TextOf(HWND Control) {
  const int Length = GetWindowTextLengthW(Control);
  std::wstring Text(static_cast<std::size_t>(Length) + 1, L'\0');
  const int Read = GetWindowTextW(Control, Text.data(), Length + 1);
  Text.resize(static_cast<std::size_t>(std::max(0, Read)));
  return Text;
}

}  // namespace

int SystemDpi() {
  const HDC Screen = GetDC(nullptr);
  const int Dpi = Screen != nullptr ? GetDeviceCaps(Screen, LOGPIXELSY) : form::kDesignDpi;
  if (Screen != nullptr) ReleaseDC(nullptr, Screen);
  return Dpi > 0 ? Dpi : form::kDesignDpi;
}

TWin32MainWindow::TWin32MainWindow(IStartUpWork& Work, std::function<void(int)> OnEndProgram, int Dpi)
    : OnError([this](const std::string& Message) {
        MessageBoxW(FHandle, Widen(Message).c_str(), WideOf(shell::kFailureBoxCaption).c_str(),
                    MB_OK | MB_ICONERROR);
      }),
      OnClose([] { PostQuitMessage(0); }),
      FWork(Work),
      FOnEndProgram(std::move(OnEndProgram)),
      FDpi(Dpi),
      FLinkColour(GetSysColor(COLOR_WINDOWTEXT)) {
  RegisterMainWindowClass(&TWin32MainWindow::WindowProc);
  constexpr DWORD Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT Frame{0, 0, form::ScaleToDpi(form::kClientWidth, FDpi), form::ScaleToDpi(form::kClientHeight, FDpi)};
  AdjustWindowRectEx(&Frame, Style, FALSE, 0);
  FHandle = CreateWindowExW(0, kWindowClass, WideOf(shell::kWindowCaption).c_str(), Style, CW_USEDEFAULT,
                            CW_USEDEFAULT, Frame.right - Frame.left, Frame.bottom - Frame.top, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
  if (FHandle == nullptr) throw std::runtime_error("the main window could not be created");
  CreateControls();
}

TWin32MainWindow::~TWin32MainWindow() {
  if (FHandle != nullptr) DestroyWindow(FHandle);
  FLogQueue->Close();
  for (std::size_t Index = 0; Index < FFontCount; ++Index) DeleteObject(FFonts[Index].Handle);
}

HWND TWin32MainWindow::Control(std::string_view Name) const {
  for (std::size_t Index = 0; Index < form::kControls.size(); ++Index) {
    if (form::kControls[Index].Name == Name) return FControls[Index];
  }
  return nullptr;
}

HFONT TWin32MainWindow::FontOf(int DesignPixels, bool Underlined) {
  for (std::size_t Index = 0; Index < FFontCount; ++Index) {
    if (FFonts[Index].DesignPixels == DesignPixels && FFonts[Index].Underlined == Underlined) {
      return FFonts[Index].Handle;
    }
  }
  if (FFontCount == FFonts.size()) throw std::logic_error("the main window uses more fonts than it keeps");
  // A negative height asks for the character height, as the form gives it.
  const HFONT Font = CreateFontW(-form::ScaleToDpi(DesignPixels, FDpi), 0, 0, 0, FW_NORMAL, FALSE,
                                 Underlined ? TRUE : FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                 WideOf(form::kFontFace).c_str());
  FFonts[FFontCount++] = {DesignPixels, Underlined, Font};
  return Font;
}

void TWin32MainWindow::CreateControls() {
  RECT Client{};
  GetClientRect(FHandle, &Client);
  FPlacedWidth = form::ScaleToDpi(form::kClientWidth, FDpi);
  FPlacedHeight = form::ScaleToDpi(form::kClientHeight, FDpi);
  const HINSTANCE Instance = GetModuleHandleW(nullptr);
  for (std::size_t Index = 0; Index < form::kControls.size(); ++Index) {
    const form::TControl& Design = form::kControls[Index];
    form::TBounds Bounds = form::ScaleToDpi(Design.Bounds, FDpi);
    const wchar_t* Class = WC_STATICW;
    DWORD Style = WS_CHILD | WS_VISIBLE;
    DWORD ExStyle = 0;
    switch (Design.Kind) {
      case form::TControlKind::FixedLabel:
        Style |= SS_LEFT;  // wraps at word boundaries inside its bounds
        break;
      case form::TControlKind::SizedLabel:
        Style |= SS_LEFTNOWORDWRAP | SS_NOTIFY;  // SS_NOTIFY: the link gets the pointer and clicks
        break;
      case form::TControlKind::LogBox:
        // No ES_AUTOHSCROLL: the lines wrap at the box's width.
        Class = WC_EDITW;
        Style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
        ExStyle = WS_EX_CLIENTEDGE;
        break;
      case form::TControlKind::StatusBar:
        // Placed by the window, not by itself: docked at the bottom across the client.
        Class = STATUSCLASSNAMEW;
        Style |= CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER | SBARS_SIZEGRIP;
        Bounds = {0, FPlacedHeight - Bounds.Height, FPlacedWidth, Bounds.Height};
        break;
    }
    const HWND Control =
        CreateWindowExW(ExStyle, Class, WideOf(Design.Text).c_str(), Style, Bounds.Left, Bounds.Top, Bounds.Width,
                        Bounds.Height, FHandle, reinterpret_cast<HMENU>(kFirstControlId + Index), Instance, nullptr);
    if (Control == nullptr) throw std::runtime_error("the main window's control " + std::string(Design.Name) +
                                                     " could not be created");
    const HFONT Font = FontOf(Design.FontPixels, false);
    SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    if (Design.Kind == form::TControlKind::SizedLabel) {
      // The designed size is that of the text in Tahoma: a wider face widens the label
      // rather than cutting its text.
      const HDC Context = GetDC(Control);
      const HGDIOBJ Before = SelectObject(Context, Font);
      const std::wstring Text = WideOf(Design.Text);
      SIZE Extent{};
      GetTextExtentPoint32W(Context, Text.c_str(), static_cast<int>(Text.size()), &Extent);
      SelectObject(Context, Before);
      ReleaseDC(Control, Context);
      Bounds.Width = std::max(Bounds.Width, static_cast<int>(Extent.cx));
      Bounds.Height = std::max(Bounds.Height, static_cast<int>(Extent.cy));
      MoveWindow(Control, Bounds.Left, Bounds.Top, Bounds.Width, Bounds.Height, FALSE);
    }
    if (Design.Kind == form::TControlKind::LogBox) {
      // Zero lifts the edit control's own limit (about 32 K characters by default).
      SendMessageW(Control, EM_SETLIMITTEXT, 0, 0);
    }
    if (Design.Kind == form::TControlKind::StatusBar) {
      // One panel across the whole bar, and no other.
      int Ends[] = {-1};
      SendMessageW(Control, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(Ends));
    }
    FControls[Index] = Control;
    FPlaced[Index] = Bounds;
  }
  const HWND Link = Control("Label2");
  SetWindowLongPtrW(Link, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  FLinkDefaultProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(Link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWin32MainWindow::LinkProc)));
  ApplyAnchors(Client.right, Client.bottom);
}

void TWin32MainWindow::ApplyAnchors(int ClientWidth, int ClientHeight) {
  if (FControls.back() == nullptr) return;  // the controls are not all made yet
  for (std::size_t Index = 0; Index < form::kControls.size(); ++Index) {
    const form::TBounds Bounds =
        form::Anchored(form::kControls[Index], FPlaced[Index], FPlacedWidth, FPlacedHeight, ClientWidth, ClientHeight);
    MoveWindow(FControls[Index], Bounds.Left, Bounds.Top, Bounds.Width, Bounds.Height, TRUE);
  }
}

void TWin32MainWindow::Show() {
  RECT Frame{};
  GetWindowRect(FHandle, &Frame);
  RECT Work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &Work, 0);
  const int Width = Frame.right - Frame.left;
  const int Height = Frame.bottom - Frame.top;
  SetWindowPos(FHandle, nullptr, Work.left + (Work.right - Work.left - Width) / 2,
               Work.top + (Work.bottom - Work.top - Height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(FHandle, SW_SHOWNORMAL);
  UpdateWindow(FHandle);
  // A desktop without a window manager activates nothing by itself.
  SetForegroundWindow(FHandle);
  SetActiveWindow(FHandle);
}

LRESULT CALLBACK TWin32MainWindow::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    const auto* Creation = reinterpret_cast<const CREATESTRUCTW*>(LParam);
    auto* Self = static_cast<TWin32MainWindow*>(Creation->lpCreateParams);
    Self->FHandle = Window;
    SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
  }
  auto* Self = reinterpret_cast<TWin32MainWindow*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (Self == nullptr) return DefWindowProcW(Window, Message, WParam, LParam);
  return Self->HandleMessage(Message, WParam, LParam);
}

LRESULT TWin32MainWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_ACTIVATE:
      if (LOWORD(WParam) != WA_INACTIVE && !FActivationSeen) {
        FActivationSeen = true;
        PostMessageW(FHandle, kStartUpMessage, 0, 0);
      }
      break;
    case kStartUpMessage:
      FormActivate();
      return 0;
    case kLogLinesMessage:
      ShowLogLines();
      return 0;
    case WM_SIZE:
      ApplyAnchors(LOWORD(LParam), HIWORD(LParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      return ControlColours(reinterpret_cast<HDC>(WParam), reinterpret_cast<HWND>(LParam));
    case WM_COMMAND:
      if (HIWORD(WParam) == STN_CLICKED && reinterpret_cast<HWND>(LParam) == Control("Label2")) {
        RunReportingFailure([this] { Label2Click(); });
        return 0;
      }
      break;
    case WM_CLOSE:
      // Never refused; the program stops the server before the window goes.
      if (OnClose) OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (WParam != FALSE && OnEndSession) OnEndSession();
      return 0;
    case WM_DESTROY:
      FLogQueue->Close();
      break;
    case WM_NCDESTROY: {
      const HWND Window = FHandle;
      SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
      FHandle = nullptr;
      return DefWindowProcW(Window, Message, WParam, LParam);
    }
    default:
      break;
  }
  return DefWindowProcW(FHandle, Message, WParam, LParam);
}

LRESULT TWin32MainWindow::ControlColours(HDC Context, HWND Control) {
  if (Control == this->Control("MemoLog")) {
    // Read-only, but on the window colour as an editable box.
    SetTextColor(Context, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(Context, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  COLORREF Colour = GetSysColor(COLOR_WINDOWTEXT);
  if (Control == this->Control("Label2")) Colour = FLinkColour;
  for (std::size_t Index = 0; Index < form::kControls.size(); ++Index) {
    if (FControls[Index] == Control && form::kControls[Index].Colour == form::TTextColour::Navy) {
      Colour = ToColorRef(form::kNavy);
    }
  }
  SetTextColor(Context, Colour);
  SetBkColor(Context, GetSysColor(COLOR_BTNFACE));
  SetBkMode(Context, TRANSPARENT);
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK TWin32MainWindow::LinkProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  auto* Self = reinterpret_cast<TWin32MainWindow*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  switch (Message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      if (!Self->FPointerOnLink) {
        Self->FPointerOnLink = true;
        // Asks for WM_MOUSELEAVE when the pointer goes.
        TRACKMOUSEEVENT Tracking{sizeof(TRACKMOUSEEVENT), TME_LEAVE, Window, 0};
        TrackMouseEvent(&Tracking);
        Self->Label2MouseEnter();
      }
      break;
    case WM_MOUSELEAVE:
      Self->FPointerOnLink = false;
      Self->Label2MouseLeave();
      break;
    default:
      break;
  }
  return CallWindowProcW(Self->FLinkDefaultProc, Window, Message, WParam, LParam);
}

void TWin32MainWindow::ShowLinkLook(const form::TLinkLook& Look) {
  const HWND Link = Control("Label2");
  FLinkColour = ToColorRef(Look.Colour);
  SendMessageW(Link, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(form::ControlNamed("Label2").FontPixels, Look.Underlined)),
               FALSE);
  InvalidateRect(Link, nullptr, TRUE);
}

void TWin32MainWindow::Label2MouseEnter() { ShowLinkLook(form::kLinkHover); }

void TWin32MainWindow::Label2MouseLeave() { ShowLinkLook(form::kLinkLeft); }

void TWin32MainWindow::Label2Click() { FWork.OpenPortCheckPage(); }

void TWin32MainWindow::ShowLogLines() {
  const std::vector<std::string> Lines = FLogQueue->TakeAll();
  if (Lines.empty()) return;
  const HWND Memo = Control("MemoLog");
  const int Length = GetWindowTextLengthW(Memo);
  // One insertion for every line waiting: a burst of lines costs one redraw.
  std::wstring Text;
  for (const std::string& Line : Lines) {
    if (Length > 0 || !Text.empty()) Text += L"\r\n";
    Text += Widen(Line);
  }
  SendMessageW(Memo, EM_SETSEL, static_cast<WPARAM>(Length), static_cast<LPARAM>(Length));
  SendMessageW(Memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Text.c_str()));
  SendMessageW(Memo, EM_SCROLLCARET, 0, 0);
}

void TWin32MainWindow::AppendToText(HWND Control, const std::string& Tail) {
  SetWindowTextW(Control, (TextOf(Control) + Widen(Tail)).c_str());
}

void TWin32MainWindow::FormActivate() {
  // First of all, so that an activation during the work (a box closing) or after a
  // failure does not start it again.
  if (FActivated) return;
  FActivated = true;
  RunReportingFailure([this] {
    const std::optional<std::string> Folder = FWork.ResolveDataFolder();
    if (!Folder) {
      FOnEndProgram(shell::kExitCodeNoDatabase);
      return;
    }
    SendMessageW(Control("StatusBar1"), SB_SETTEXTW, 0,
                 reinterpret_cast<LPARAM>(Widen(DataFolderStatusText(*Folder)).c_str()));
    AppendToText(Control("LabelIP"), FWork.LanAddress());
    FWork.LogServerStarted();
    // Paint what is known so far and show the log lines waiting, before the lookup
    // below holds this thread. A request to end the loop is put back for the loop.
    MSG Pending{};
    while (PeekMessageW(&Pending, nullptr, 0, 0, PM_REMOVE)) {
      if (Pending.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(Pending.wParam));
        break;
      }
      TranslateMessage(&Pending);
      DispatchMessageW(&Pending);
    }
    AppendToText(Control("LabelIPInternet"), FWork.InternetAddress());
  });
}

void TWin32MainWindow::RunReportingFailure(const std::function<void()>& Step) {
  shell::RunReportingFailure(Step, OnError);
}

}  // namespace tavrin
