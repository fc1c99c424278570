// The Win32 main window against the form's table (texts, bounds, fonts, colours at two
// resolutions), its anchors, the port-check link, the first activation's work (once, in
// order, ending early), and the log box fed from many threads, past the edit control's
// default limit and after the window is gone.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/window_win32/main_window_win32.h"
#include "app/window_win32/window_log_sink.h"
#include "platform/utf16_win.h"
#include "support/form_print.h"

namespace tavrin {
namespace {

using platform::Narrow;
using platform::Widen;

const std::string kLanCaption = "Endere\u00e7o para conex\u00e3o pela rede local: ";
const std::string kInternetCaption = "Endere\u00e7o para conex\u00e3o pela internet: ";

// Records each step it is asked for; the step named in FailingStep raises instead.
class TWin32FakeWork final : public IStartUpWork {
 public:
  std::vector<std::string> Calls;
  std::optional<std::string> Folder = "C:\\ZUL\\Dados";
  std::string FailingStep;
  std::function<void(const std::string& Step)> OnCall;

  std::optional<std::string> ResolveDataFolder() override {
    Record("ResolveDataFolder");
    return Folder;
  }
  std::string LanAddress() override {
    Record("LanAddress");
    return "192.168.0.10";
  }
  void LogServerStarted() override { Record("LogServerStarted"); }
  std::string InternetAddress() override {
    Record("InternetAddress");
    return "200.1.2.3";
  }
  void OpenPortCheckPage() override { Record("OpenPortCheckPage"); }

 private:
  void Record(const std::string& Step) {
    Calls.push_back(Step);
    if (OnCall) OnCall(Step);
    if (Step == FailingStep) throw std::runtime_error(Step + " failed");
  }
};

struct TWin32WindowUnderTest {
  explicit TWin32WindowUnderTest(int Dpi = form::kDesignDpi)
      : Window(Work, [this](int Code) { ExitCodes.push_back(Code); }, Dpi) {
    Window.OnError = [this](const std::string& Message) { Errors.push_back(Message); };
  }
  TWin32FakeWork Work;
  std::vector<int> ExitCodes;
  std::vector<std::string> Errors;
  TWin32MainWindow Window;
};

std::string TextOf(HWND Control) {
  std::wstring Text(static_cast<std::size_t>(GetWindowTextLengthW(Control)) + 1, L'\0');
  Text.resize(static_cast<std::size_t>(GetWindowTextW(Control, Text.data(), static_cast<int>(Text.size()))));
  return Narrow(Text);
}

std::string ClassOf(HWND Control) {
  wchar_t Name[64] = {};
  GetClassNameW(Control, Name, 64);
  return Narrow(std::wstring(Name));
}

form::TBounds BoundsOf(HWND Control) {
  RECT Rect{};
  GetWindowRect(Control, &Rect);
  MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&Rect), 2);
  return {Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top};
}

LOGFONTW FontOf(HWND Control) {
  LOGFONTW Font{};
  const auto Handle = reinterpret_cast<HFONT>(SendMessageW(Control, WM_GETFONT, 0, 0));
  GetObjectW(Handle, sizeof(Font), &Font);
  return Font;
}

// The text colour the window gives Control when it paints it.
COLORREF TextColourOf(HWND Window, HWND Control) {
  const HDC Context = CreateCompatibleDC(nullptr);
  SendMessageW(Window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(Context), reinterpret_cast<LPARAM>(Control));
  const COLORREF Colour = GetTextColor(Context);
  DeleteDC(Context);
  return Colour;
}

void PumpMessages() {
  MSG Message{};
  while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
  }
}

// Runs the window's messages until Done holds or ten seconds have passed.
bool PumpUntil(const std::function<bool()>& Done) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > Deadline) return false;
    PumpMessages();
    Sleep(5);
  }
  return true;
}

std::vector<std::string> LinesOf(HWND Memo) {
  std::vector<std::string> Lines;
  const std::string Text = TextOf(Memo);
  std::size_t Start = 0;
  while (!Text.empty() && Start <= Text.size()) {
    const std::size_t End = Text.find("\r\n", Start);
    Lines.push_back(Text.substr(Start, End == std::string::npos ? std::string::npos : End - Start));
    if (End == std::string::npos) break;
    Start = End + 2;
  }
  return Lines;
}

TEST(Win32MainWindow, FollowsTheFormTableAtTwoResolutions) {
  for (const int Dpi : {120, 96}) {
    SCOPED_TRACE(Dpi);
    TWin32WindowUnderTest Ui(Dpi);
    const HWND Window = Ui.Window.Handle();
    EXPECT_EQ(TextOf(Window), "TAVRIN - Velmora");
    RECT Client{};
    GetClientRect(Window, &Client);
    EXPECT_EQ(Client.right, form::ScaleToDpi(form::kClientWidth, Dpi));
    EXPECT_EQ(Client.bottom, form::ScaleToDpi(form::kClientHeight, Dpi));
    for (const form::TControl& Design : form::kControls) {
      const std::string Name(Design.Name);
      SCOPED_TRACE(Name);
      const HWND Control = Ui.Window.Control(Design.Name);
      ASSERT_NE(Control, nullptr);
      EXPECT_EQ(GetParent(Control), Window);
      const form::TBounds Scaled = form::ScaleToDpi(Design.Bounds, Dpi);
      const form::TBounds Bounds = BoundsOf(Control);
      const LONG Style = GetWindowLongW(Control, GWL_STYLE);
      switch (Design.Kind) {
        case form::TControlKind::FixedLabel:
          EXPECT_EQ(ClassOf(Control), "Static");
          EXPECT_EQ(Bounds, Scaled);
          EXPECT_EQ(Style & SS_TYPEMASK, SS_LEFT);  // wraps
          break;
        case form::TControlKind::SizedLabel:
          // Sized to its text: the designed size in Tahoma, wider if the face is.
          EXPECT_EQ(ClassOf(Control), "Static");
          EXPECT_EQ(Bounds.Left, Scaled.Left);
          EXPECT_EQ(Bounds.Top, Scaled.Top);
          EXPECT_GE(Bounds.Width, Scaled.Width);
          EXPECT_LE(Bounds.Width, Scaled.Width * 5 / 4);
          EXPECT_GE(Bounds.Height, Scaled.Height);
          EXPECT_EQ(Style & SS_TYPEMASK, SS_LEFTNOWORDWRAP);
          break;
        case form::TControlKind::LogBox:
          EXPECT_EQ(ClassOf(Control), "Edit");
          EXPECT_EQ(Bounds, Scaled);
          EXPECT_EQ(Style & (ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP),
                    ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP);
          EXPECT_EQ(Style & (ES_AUTOHSCROLL | WS_HSCROLL), 0);  // lines wrap
          EXPECT_GT(SendMessageW(Control, EM_GETLIMITTEXT, 0, 0), 1 << 20);
          break;
        case form::TControlKind::StatusBar:
          EXPECT_EQ(ClassOf(Control), "msctls_statusbar32");
          EXPECT_EQ(Bounds, (form::TBounds{0, Client.bottom - Scaled.Height, Client.right, Scaled.Height}));
          break;
      }
      EXPECT_EQ(TextOf(Control), Design.Text);
      const LOGFONTW Font = FontOf(Control);
      EXPECT_EQ(Font.lfHeight, -form::ScaleToDpi(Design.FontPixels, Dpi));
      EXPECT_EQ(Narrow(std::wstring(Font.lfFaceName)), "Tahoma");
      EXPECT_FALSE(Font.lfUnderline);
      if (Design.Kind != form::TControlKind::StatusBar && Design.Kind != form::TControlKind::LogBox) {
        const form::TRgb Colour =
            Design.Colour == form::TTextColour::Navy ? form::kNavy : form::TRgb{0, 0, 0};  // Wine's window text is black
        EXPECT_EQ(TextColourOf(Window, Control), RGB(Colour.Red, Colour.Green, Colour.Blue));
      }
    }
  }
}

TEST(Win32MainWindow, AddressLabelsAndLogFollowTheSizeAndTheStatusBarTheBottom) {
  TWin32WindowUnderTest Ui;
  const HWND Window = Ui.Window.Handle();
  std::vector<form::TBounds> Still;
  for (const char* Name : {"Label1", "Label3", "Label2", "Label4"}) Still.push_back(BoundsOf(Ui.Window.Control(Name)));
  const struct {
    int Width;
    int Height;
    form::TBounds LabelIP;
    form::TBounds MemoLog;
    form::TBounds StatusBar1;
  } Cases[] = {
      {668, 497, {16, 60, 636, 21}, {16, 202, 636, 266}, {0, 478, 668, 19}},
      {568, 447, {16, 60, 536, 21}, {16, 202, 536, 216}, {0, 428, 568, 19}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Width);
    RECT Frame{0, 0, Case.Width, Case.Height};
    AdjustWindowRectEx(&Frame, static_cast<DWORD>(GetWindowLongW(Window, GWL_STYLE)), FALSE, 0);
    SetWindowPos(Window, nullptr, 0, 0, Frame.right - Frame.left, Frame.bottom - Frame.top, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(BoundsOf(Ui.Window.Control("LabelIP")), Case.LabelIP);
    EXPECT_EQ(BoundsOf(Ui.Window.Control("LabelIPInternet")),
              (form::TBounds{16, 86, Case.LabelIP.Width, Case.LabelIP.Height}));
    EXPECT_EQ(BoundsOf(Ui.Window.Control("MemoLog")), Case.MemoLog);
    EXPECT_EQ(BoundsOf(Ui.Window.Control("StatusBar1")), Case.StatusBar1);
    std::size_t Index = 0;
    for (const char* Name : {"Label1", "Label3", "Label2", "Label4"}) {
      EXPECT_EQ(BoundsOf(Ui.Window.Control(Name)), Still[Index++]) << Name;
    }
  }
}

TEST(Win32MainWindow, LinkHasTheHandTurnsBlueUnderlinedUnderThePointerAndOpensThePage) {
  TWin32WindowUnderTest Ui;
  const HWND Window = Ui.Window.Handle();
  const HWND Link = Ui.Window.Control("Label2");
  for (int Round = 0; Round < 2; ++Round) {
    SCOPED_TRACE(Round);
    SendMessageW(Link, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(TextColourOf(Window, Link), RGB(0, 0, 255));
    EXPECT_TRUE(FontOf(Link).lfUnderline);
    SendMessageW(Link, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(TextColourOf(Window, Link), RGB(0, 0, 0));
    EXPECT_FALSE(FontOf(Link).lfUnderline);
    EXPECT_EQ(FontOf(Link).lfHeight, -13);  // the hover touches colour and style only
  }
  SendMessageW(Link, WM_SETCURSOR, reinterpret_cast<WPARAM>(Link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_TRUE(Ui.Work.Calls.empty());

  SendMessageW(Link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(Link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(Ui.Work.Calls, std::vector<std::string>{"OpenPortCheckPage"});
  const HWND Other = Ui.Window.Control("Label3");
  SendMessageW(Other, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(Other, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(Ui.Work.Calls, std::vector<std::string>{"OpenPortCheckPage"});
  Ui.Work.FailingStep = "OpenPortCheckPage";
  SendMessageW(Link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  EXPECT_EQ(Ui.Errors, std::vector<std::string>{"OpenPortCheckPage failed"});
}

TEST(Win32MainWindow, FirstActivationDoesTheStartUpWorkOnceInOrder) {
  TWin32WindowUnderTest Ui;
  TWin32MainWindow& W = Ui.Window;
  TWindowLogSink Sink(W.Handle(), TWin32MainWindow::kLogLinesMessage, W.LogQueue());
  struct TSeen {
    std::string Step;
    std::string Status;
    std::string Lan;
    std::string Log;
    bool operator==(const TSeen&) const = default;
  };
  std::vector<TSeen> Seen;
  Ui.Work.OnCall = [&](const std::string& Step) {
    Seen.push_back({Step, TextOf(W.Control("StatusBar1")), TextOf(W.Control("LabelIP")), TextOf(W.Control("MemoLog"))});
    // A line from a connection waits for the window; it shows before the internet lookup.
    if (Step == "LogServerStarted") Sink.AddLine("waiting line");
  };
  // Through the system: shown, activated, the work posted and run from the loop.
  W.Show();
  SendMessageW(W.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  ASSERT_TRUE(PumpUntil([&] { return Ui.Work.Calls.size() == 4; }));

  const std::string Status = "Pasta de dados: C:\\ZUL\\Dados";
  const std::string Lan = kLanCaption + "192.168.0.10";
  const std::vector<TSeen> Expected = {
      {"ResolveDataFolder", "", kLanCaption, ""},
      {"LanAddress", Status, kLanCaption, ""},
      {"LogServerStarted", Status, Lan, ""},
      {"InternetAddress", Status, Lan, "waiting line"},
  };
  EXPECT_EQ(Seen, Expected);
  EXPECT_EQ(TextOf(W.Control("LabelIPInternet")), kInternetCaption + "200.1.2.3");

  // Later activations change nothing.
  SendMessageW(W.Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageW(W.Handle(), WM_ACTIVATE, WA_CLICKACTIVE, 0);
  PumpMessages();
  W.FormActivate();
  EXPECT_EQ(Ui.Work.Calls.size(), 4u);
  EXPECT_EQ(TextOf(W.Control("LabelIP")), Lan);
  EXPECT_TRUE(Ui.ExitCodes.empty());
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST(Win32MainWindow, WithoutDataFolderOrAfterAFailureTheRestIsSkippedForGood) {
  const struct {
    std::string FailingStep;
    bool NoFolder;
    std::vector<std::string> Calls;
    std::vector<std::string> Shown;
    std::vector<int> ExitCodes;
  } Cases[] = {
      {"", true, {"ResolveDataFolder"}, {}, {0}},
      {"ResolveDataFolder", false, {"ResolveDataFolder"}, {"ResolveDataFolder failed"}, {}},
      {"LanAddress", false, {"ResolveDataFolder", "LanAddress"}, {"LanAddress failed"}, {}},
      {"InternetAddress", false, {"ResolveDataFolder", "LanAddress", "LogServerStarted", "InternetAddress"},
       {"InternetAddress failed"}, {}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.FailingStep);
    TWin32WindowUnderTest Ui;
    Ui.Work.FailingStep = Case.FailingStep;
    if (Case.NoFolder) Ui.Work.Folder = std::nullopt;
    Ui.Window.FormActivate();
    Ui.Window.FormActivate();
    EXPECT_EQ(Ui.Work.Calls, Case.Calls);
    EXPECT_EQ(Ui.Errors, Case.Shown);
    EXPECT_EQ(Ui.ExitCodes, Case.ExitCodes);
    EXPECT_EQ(TextOf(Ui.Window.Control("LabelIPInternet")), kInternetCaption);
  }
}

TEST(Win32MainWindow, LinesFromManyThreadsArriveWholeAndInOrder) {
  TWin32WindowUnderTest Ui;
  TWindowLogSink Sink(Ui.Window.Handle(), TWin32MainWindow::kLogLinesMessage, Ui.Window.LogQueue());
  constexpr int kThreads = 20;
  constexpr int kLinesEach = 50;
  // As the activity log does: lines handed over one at a time, numbered in that order.
  std::mutex Serial;
  int Next = 0;
  std::vector<std::thread> Writers;
  for (int Thread = 0; Thread < kThreads; ++Thread) {
    Writers.emplace_back([&, Thread] {
      for (int Line = 0; Line < kLinesEach; ++Line) {
        const std::lock_guard<std::mutex> Guard(Serial);
        Sink.AddLine(std::to_string(Next++) + " - thread " + std::to_string(Thread) + " line " + std::to_string(Line));
      }
    });
  }
  const HWND Memo = Ui.Window.Control("MemoLog");
  // The window's thread keeps running its messages while the writers write.
  const bool AllShown = PumpUntil([&] { return LinesOf(Memo).size() >= kThreads * kLinesEach; });
  for (auto& Writer : Writers) Writer.join();
  ASSERT_TRUE(AllShown);
  PumpMessages();
  const std::vector<std::string> Lines = LinesOf(Memo);
  ASSERT_EQ(Lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
  std::vector<int> LastOfThread(kThreads, -1);
  for (std::size_t Index = 0; Index < Lines.size(); ++Index) {
    int Number = -1, Thread = -1, Line = -1;
    ASSERT_EQ(std::sscanf(Lines[Index].c_str(), "%d - thread %d line %d", &Number, &Thread, &Line), 3) << Lines[Index];
    EXPECT_EQ(Number, static_cast<int>(Index));
    ASSERT_TRUE(Thread >= 0 && Thread < kThreads);
    EXPECT_EQ(Line, LastOfThread[static_cast<std::size_t>(Thread)] + 1);
    LastOfThread[static_cast<std::size_t>(Thread)] = Line;
  }
}

TEST(Win32MainWindow, LogKeepsGrowingPastTheEditControlsDefaultLimit) {
  TWin32WindowUnderTest Ui;
  TWindowLogSink Sink(Ui.Window.Handle(), TWin32MainWindow::kLogLinesMessage, Ui.Window.LogQueue());
  const HWND Memo = Ui.Window.Control("MemoLog");
  const std::string Filler(70, 'x');
  int Written = 0;
  // Lines shown a few at a time, as a busy server's are, until past 64 KiB of text.
  while (GetWindowTextLengthW(Memo) < 70 * 1024) {
    for (int Burst = 0; Burst < 20; ++Burst) Sink.AddLine(std::to_string(Written++) + " " + Filler);
    const std::string Last = std::to_string(Written - 1) + " " + Filler;
    ASSERT_TRUE(PumpUntil([&] { return TextOf(Memo).ends_with(Last); }));
  }
  Sink.AddLine("the last line");
  ASSERT_TRUE(PumpUntil([&] { return TextOf(Memo).ends_with("\r\nthe last line"); }));
  EXPECT_EQ(LinesOf(Memo).size(), static_cast<std::size_t>(Written + 1));
}

TEST(Win32MainWindow, LinesAfterTheWindowIsGoneAreDropped) {
  std::shared_ptr<TLogLineQueue> Queue;
  HWND Window = nullptr;
  std::unique_ptr<TWindowLogSink> Sink;
  {
    TWin32WindowUnderTest Ui;
    Window = Ui.Window.Handle();
    Queue = Ui.Window.LogQueue();
    Sink = std::make_unique<TWindowLogSink>(Window, TWin32MainWindow::kLogLinesMessage, Queue);
    Sink->AddLine("waiting when the window goes");
  }
  EXPECT_FALSE(IsWindow(Window));
  Sink->AddLine("after the window");
  PumpMessages();
  EXPECT_TRUE(Queue->TakeAll().empty());
  EXPECT_EQ(Queue->Push("one more"), TLogLineQueue::TPushed::Dropped);
}

}  // namespace
}  // namespace tavrin
