#include "app/window/window_front_end.h"

#include <QApplication>
#include <QMessageBox>

#include <atomic>
#include <exception>
#include <iostream>
#include <memory>
#include <thread>

#include "app/tavrin/server_process.h"
#include "shell/shell_constants.h"
#include "app/tavrin/start_failure.h"
#include "app/tavrin/system_start_up_work.h"
#include "app/window/main_window.h"
#include "app/window/memo_log_sink.h"
#include "app/window/qt_operator_dialogs.h"
#include "platform/stop_request.h"

namespace tavrin {

namespace {

// Turns a stop request into the end of the message loop, as closing the window would.
class TStopWatcher {
 public:
  explicit TStopWatcher(QCoreApplication& Application)
      : FThread([this, &Application] {
          platform::WaitForStopRequest();
          if (!FEnding) QMetaObject::invokeMethod(&Application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        }) {}
  ~TStopWatcher() {
    FEnding = true;
    platform::RequestStop();
    FThread.join();
  }
  TStopWatcher(const TStopWatcher&) = delete;
  TStopWatcher& operator=(const TStopWatcher&) = delete;

 private:
  std::atomic<bool> FEnding{false};
  std::thread FThread;
};

}  // namespace

int RunWithWindow(const TProgramOptions& Options, int& argc, char** argv) {
  QApplication Application(argc, argv);
  TServerProcess Process;
  TQtOperatorDialogs Dialogs;
  TSystemStartUpWork Work(Options, Process.Log(), Dialogs);

  auto frmInicial = std::make_unique<TfrmInicial>(Work, [](int ExitCode) { QCoreApplication::exit(ExitCode); });
  Dialogs.SetParent(frmInicial.get());
  TMemoLogSink Sink(*frmInicial->MemoLog);
  Process.Log().Attach(Sink);

  std::unique_ptr<TServerContainer1> ServerContainer1;
  try {
    ServerContainer1 = Process.StartServer(ServerSettings(Options));
  } catch (const std::exception& Error) {
    Process.Log().Detach(Sink);
    QMessageBox::critical(nullptr, QString::fromUtf8(shell::kStartFailureCaption.data(),
                                                     static_cast<qsizetype>(shell::kStartFailureCaption.size())),
                          QString::fromStdString(StartFailureMessage(Error)));
    return shell::kExitCodeStartFailure;
  }
  // Whoever started the program with port 0 learns here which port the system chose.
  std::cout << shell::kPortInUseCaption << ServerContainer1->BoundPort() << std::endl;

  int ExitCode = 0;
  {
    TStopWatcher Watcher(Application);
    frmInicial->show();
    // Without a window manager (a bare X server) nothing activates a new window, and
    // the start-up work waits for the first activation.
    frmInicial->activateWindow();
    ExitCode = Application.exec();
  }
  // The server stops first (no connection thread writes to the log any more), then the
  // window goes.
  ServerContainer1.reset();
  Process.Log().Detach(Sink);
  frmInicial.reset();
  return ExitCode;
}

}  // namespace tavrin
