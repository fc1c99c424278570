#include "app/tavrin/headless_front_end.h"

#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "shell/data_folder.h"
#include "app/tavrin/headless_dialogs.h"
#include "app/tavrin/server_process.h"
#include "shell/shell_constants.h"
#include "app/tavrin/start_failure.h"
#include "shell/stream_log_sink.h"
#include "app/tavrin/system_error_boxes.h"
#include "app/tavrin/system_start_up_work.h"
#include "platform/message_box.h"
#include "platform/stop_request.h"
#include "platform/terminal.h"

namespace tavrin {

namespace {

// The one-time start-up work the window does at its first activation, reported as
// lines on standard output. Returns false when the data folder was refused and the
// program must end.
bool StartUpWork(IStartUpWork& Work, std::uint16_t Port) {
  const std::optional<std::string> Folder = Work.ResolveDataFolder();
  if (!Folder) return false;
  std::cout << DataFolderStatusText(*Folder) << std::endl;
  std::cout << shell::kLanAddressCaption << Work.LanAddress() << '\n' << shell::kPortInUseCaption << Port << std::endl;
  Work.LogServerStarted();
  std::cout << shell::kInternetAddressCaption << Work.InternetAddress() << std::endl;
  return true;
}

}  // namespace

int RunHeadless(const TProgramOptions& Options) {
  TServerProcess Process;
  TStreamLogSink Sink(std::cout);
  Process.Log().Attach(Sink);
  // The server listens before the data folder is known, as with the window.
  std::unique_ptr<TServerContainer1> ServerContainer1;
  try {
    ServerContainer1 = Process.StartServer(ServerSettings(Options));
  } catch (const std::exception& Error) {
    // Unless asked to be headless, the operator is told in the system's box.
    if (Options.Headless) std::cerr << StartFailureText(Error) << std::endl;
    else platform::ShowErrorBox(std::string(shell::kStartFailureCaption), StartFailureMessage(Error));
    Process.Log().Detach(Sink);
    return shell::kExitCodeStartFailure;
  }

  THeadlessDialogs Prompts(std::cin, std::cout, std::cerr, platform::StandardInputIsTerminal());
  TSystemErrorBoxes Boxes(Prompts);
  IOperatorDialogs& Dialogs = Options.Headless ? static_cast<IOperatorDialogs&>(Prompts) : Boxes;
  TSystemStartUpWork Work(Options, Process.Log(), Dialogs);
  int ExitCode = 0;
  try {
    if (StartUpWork(Work, ServerContainer1->BoundPort())) platform::WaitForStopRequest();
    else ExitCode = shell::kExitCodeNoDatabase;
  } catch (const std::exception& Error) {
    // As a window reports a failing start-up step and goes on serving.
    std::cerr << Error.what() << std::endl;
    platform::WaitForStopRequest();
  }
  ServerContainer1.reset();
  Process.Log().Detach(Sink);
  return ExitCode;
}

}  // namespace tavrin
