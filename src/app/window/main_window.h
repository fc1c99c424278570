#pragma once
// The operator's main window: it asks to keep the program running, shows where clients
// reach the server, names the port to open in the router with a link to a port-check
// page, holds the activity log box and shows the data folder in its status bar. A thin
// layer: its first activation runs the start-up work through IStartUpWork, and the log
// box is filled by a TMemoLogSink (memo_log_sink.h).
//
// Built from the form's table (shell/main_form.h). Bounds and font heights are designed
// at kDesignDpi and scaled to the screen's
// resolution when the window is created. The address labels and the log box follow the
// window's width (the log box its height too); the status bar stays docked at the
// bottom; the other labels keep their place.
//
// Threading: the GUI thread only, like every widget.

#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "shell/main_form.h"
#include "shell/start_up_work.h"

class QEvent;
class QLabel;
class QPlainTextEdit;
class QResizeEvent;
class QShowEvent;
class QStatusBar;

namespace tavrin {

// The resolution, in pixels per inch, the window's bounds and font heights are given at.
inline constexpr int kDesignDpi = form::kDesignDpi;

// The primary screen's logical resolution in pixels per inch (kDesignDpi when there is
// no screen). Needs the application object.
int PrimaryScreenDpi();

class TfrmInicial final : public QWidget {
 public:
  // Builds the window and its controls, not yet shown. Work must outlive the window.
  // OnEndProgram is called with the exit code when the start-up work finds no database;
  // the program ends its event loop with it. Dpi: the resolution the window is scaled
  // to (Dpi / kDesignDpi).
  TfrmInicial(IStartUpWork& Work, std::function<void(int ExitCode)> OnEndProgram,
              int Dpi = PrimaryScreenDpi(), QWidget* Parent = nullptr);
  TfrmInicial(const TfrmInicial&) = delete;
  TfrmInicial& operator=(const TfrmInicial&) = delete;

  // The controls, each with its objectName set to its member's name. Owned by the
  // window; they live as long as it does.
  QLabel* const Label1;           // "keep this program running"
  QLabel* const LabelIP;          // the LAN address, after its caption
  QLabel* const LabelIPInternet;  // the internet address, after its caption
  QLabel* const Label3;           // the port to open
  QLabel* const Label2;           // the port-check link
  QLabel* const Label4;           // the log box's caption
  QPlainTextEdit* const MemoLog;  // the activity log; appended to only by TMemoLogSink
  QStatusBar* const StatusBar1;   // the data folder, once known

  // Shows the message of a failure that escaped one of the handlers below; the
  // handler's remaining steps are not run. Defaults to an error box with the window as
  // parent; tests replace it.
  std::function<void(const std::string& Message)> OnError;

  // The one-time start-up work, run on the window's first activation (later
  // activations do nothing): resolves the data folder (without one: OnEndProgram with
  // the exit code and nothing more), shows it in the status bar, appends the LAN
  // address to LabelIP, writes the start line to the log, lets the window paint, then
  // appends the internet address to LabelIPInternet (this blocks until the address
  // services answered).
  void FormActivate();
  // The port-check link: a click opens the page; the pointer over it turns it blue and
  // underlined, leaving it turns it black and plain.
  void Label2Click();
  void Label2MouseEnter();
  void Label2MouseLeave();

 protected:
  bool event(QEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

 private:
  int Scale(int Design) const;
  void CreateControls();
  QWidget* ControlOf(std::string_view Name) const;
  void ApplyAnchors();
  // Runs Step; a failure escaping it goes to OnError (nothing may leave a Qt handler).
  void RunReportingFailure(const std::function<void()>& Step);
  void ShowFailureBox(const std::string& Message);

  IStartUpWork& FWork;
  std::function<void(int)> FOnEndProgram;
  const int FDpi;
  bool FActivated = false;  // FormActivate has begun: activations do nothing more
  bool FPlaced = false;     // the first show has centred the window on its screen
  // The scaled client size, and each control's bounds in it (in the form's order).
  QSize FDesignClient;
  std::array<QRect, form::kControls.size()> FControlBounds;
};

}  // namespace tavrin
