#include "app/window_win32/win32_front_end.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "app/tavrin/server_process.h"
#include "app/tavrin/start_failure.h"
#include "app/tavrin/system_start_up_work.h"
#include "app/window_win32/main_window_win32.h"
#include "app/window_win32/win32_dialogs.h"
#include "app/window_win32/window_log_sink.h"
#include "platform/message_box.h"
#include "platform/stop_request.h"
#include "platform/terminal.h"
#include "shell/shell_constants.h"
#include "shell/stream_log_sink.h"

namespace tavrin {

namespace {

// Turns a stop request (Ctrl+C in a console the program is attached to) into a close
// of the window, as the operator's would be.
class TWin32StopWatcher {
 public:
  explicit TWin32StopWatcher(HWND Window)
      : FThread([this, Window] {
          platform::WaitForStopRequest();
          if (!FEnding) PostMessageW(Window, WM_CLOSE, 0, 0);
        }) {}
  ~TWin32StopWatcher() {
    FEnding = true;
    platform::RequestStop();
    FThread.join();
  }
  TWin32StopWatcher(const TWin32StopWatcher&) = delete;
  TWin32StopWatcher& operator=(const TWin32StopWatcher&) = delete;

 private:
  std::atomic<bool> FEnding{false};
  std::thread FThread;
};

int RunMessageLoop() {
  MSG Message{};
  BOOL Got = FALSE;
  while ((Got = GetMessageW(&Message, nullptr, 0, 0)) > 0) {
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
  }
  return Got == 0 ? static_cast<int>(Message.wParam) : shell::kExitCodeStartFailure;
}

}  // namespace

int RunWithWin32Window(const TProgramOptions& Options) {
  // As the manifest says too: the window is scaled by the program, from the system's dpi.
  SetProcessDPIAware();
  TServerProcess Process;
  TWin32OperatorDialogs Dialogs;
  TSystemStartUpWork Work(Options, Process.Log(), Dialogs);
  TWin32MainWindow frmInicial(Work, [](int ExitCode) { PostQuitMessage(ExitCode); });
  Dialogs.SetOwner(frmInicial.Handle());
  TWindowLogSink Sink(frmInicial.Handle(), TWin32MainWindow::kLogLinesMessage, frmInicial.LogQueue());
  Process.Log().Attach(Sink);
  // Whoever started the program with its output in a file or a pipe reads the log there.
  std::optional<TStreamLogSink> Echo;
  if (platform::StandardOutputRedirected()) {
    Echo.emplace(std::cout);
    Process.Log().Attach(*Echo);
  }
  const auto DetachSinks = [&] {
    Process.Log().Detach(Sink);
    if (Echo) Process.Log().Detach(*Echo);
  };

  std::unique_ptr<TServerContainer1> ServerContainer1;
  try {
    ServerContainer1 = Process.StartServer(ServerSettings(Options));
  } catch (const std::exception& Error) {
    DetachSinks();
    platform::ShowErrorBox(std::string(shell::kStartFailureCaption), StartFailureMessage(Error));
    return shell::kExitCodeStartFailure;
  }
  // Whoever started the program with port 0 learns here which port the system chose.
  std::cout << shell::kPortInUseCaption << ServerContainer1->BoundPort() << std::endl;
  // The session ends with the process right after this: the server stops first.
  frmInicial.OnEndSession = [&] { ServerContainer1.reset(); };

  int ExitCode = 0;
  {
    TWin32StopWatcher Watcher(frmInicial.Handle());
    frmInicial.Show();
    ExitCode = RunMessageLoop();
  }
  // The server stops first (no connection thread writes to the log any more), then the
  // window goes with this scope.
  ServerContainer1.reset();
  DetachSinks();
  return ExitCode;
}

}  // namespace tavrin
