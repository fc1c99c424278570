#pragma once
// The operator's main window on Win32 (user32, gdi32, comctl32): the same form as the
// Qt window, built from the form's table (shell/main_form.h). Tahoma at the table's
// heights and the bounds, both scaled from the design resolution to the system's; the
// address labels and the log box follow the window's size, the status bar stays docked
// at the bottom. The log box is a read-only multi-line edit that wraps its lines, with a
// vertical scroll bar and no text limit of its own; it is filled through the window's
// line queue (window_log_sink.h). The port-check link shows the hand cursor, turns blue
// and underlined under the pointer and black and plain when it leaves, and a click opens
// the page.
//
// The first activation runs the start-up work once, through IStartUpWork, in the order
// the Qt window runs it and with the same early ends.
//
// Threading: the thread that made the window only (it runs the window's messages);
// lines reach the log box from any thread through LogQueue.

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/window_win32/log_line_queue.h"
#include "shell/main_form.h"
#include "shell/start_up_work.h"

namespace tavrin {

// The system's resolution in pixels per inch, as a dpi-aware program sees it.
int SystemDpi();

class TWin32MainWindow {
 public:
  // Posted to the window when lines wait in its queue.
  static constexpr UINT kLogLinesMessage = WM_APP + 1;

  // Makes the window and its controls, not yet shown. Work must outlive the window.
  // OnEndProgram is called with the exit code when the start-up work finds no
  // database. Dpi: the resolution the form is scaled to. Raises std::runtime_error
  // when the system refuses the window.
  TWin32MainWindow(IStartUpWork& Work, std::function<void(int ExitCode)> OnEndProgram, int Dpi = SystemDpi());
  ~TWin32MainWindow();
  TWin32MainWindow(const TWin32MainWindow&) = delete;
  TWin32MainWindow& operator=(const TWin32MainWindow&) = delete;

  HWND Handle() const { return FHandle; }
  // The control of the form named Name (nullptr for a name the form lacks).
  HWND Control(std::string_view Name) const;
  // The queue whose lines the log box shows (see TWindowLogSink).
  const std::shared_ptr<TLogLineQueue>& LogQueue() const { return FLogQueue; }

  // Shows a failure that escaped a handler; the handler's remaining steps are not run.
  // Defaults to an error box owned by the window; tests replace it.
  std::function<void(const std::string& Message)> OnError;
  // The operator closes the window (or the session ends): defaults to ending the
  // message loop with exit code 0, the window still there; the program then stops the
  // server and destroys the window.
  std::function<void()> OnClose;
  // The desktop session ends: the process is ended once this returns, so the server
  // must stop inside it.
  std::function<void()> OnEndSession;

  // Centres the window on the work area, shows it and brings it to the front (which
  // activates it, and the first activation starts the start-up work).
  void Show();

  // The one-time start-up work; later calls do nothing.
  void FormActivate();
  void Label2Click();
  void Label2MouseEnter();
  void Label2MouseLeave();

 private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  static LRESULT CALLBACK LinkProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
  HFONT FontOf(int DesignPixels, bool Underlined);
  void CreateControls();
  void ApplyAnchors(int ClientWidth, int ClientHeight);
  LRESULT ControlColours(HDC Context, HWND Control);
  void ShowLinkLook(const form::TLinkLook& Look);
  void ShowLogLines();
  void AppendToText(HWND Control, const std::string& Tail);
  void RunReportingFailure(const std::function<void()>& Step);

  IStartUpWork& FWork;
  std::function<void(int)> FOnEndProgram;
  const int FDpi;
  HWND FHandle = nullptr;
  WNDPROC FLinkDefaultProc = nullptr;
  std::array<HWND, form::kControls.size()> FControls{};
  // Each control's bounds in the client area it was placed in (FPlacedWidth x FPlacedHeight).
  std::array<form::TBounds, form::kControls.size()> FPlaced{};
  int FPlacedWidth = 0;
  int FPlacedHeight = 0;
  // The fonts made so far, by design height and underline; deleted with the window.
  struct TFont {
    int DesignPixels;
    bool Underlined;
    HFONT Handle;
  };
  std::array<TFont, 8> FFonts{};
  std::size_t FFontCount = 0;
  COLORREF FLinkColour;       // the link's text colour now
  bool FPointerOnLink = false;
  bool FActivationSeen = false;  // the start-up work is posted
  bool FActivated = false;       // FormActivate has begun
  std::shared_ptr<TLogLineQueue> FLogQueue = std::make_shared<TLogLineQueue>();
};

}  // namespace tavrin
