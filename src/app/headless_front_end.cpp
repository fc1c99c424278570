#include "app/headless_front_end.h"

#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/activity_log.h"
#include "app/address_discovery.h"
#include "app/data_folder.h"
#include "app/headless_dialogs.h"
#include "app/shell_constants.h"
#include "app/start_failure.h"
#include "app/stream_log_sink.h"
#include "platform/file_system.h"
#include "platform/host_addresses.h"
#include "platform/http_get.h"
#include "platform/local_clock.h"
#include "platform/profile_strings.h"
#include "platform/regional_format.h"
#include "platform/registry.h"
#include "platform/stop_request.h"
#include "platform/terminal.h"
#include "remote/database_session.h"
#include "remote/server_container.h"

namespace tavrin {

namespace {

std::vector<std::string> AddressServices(const TProgramOptions& Options) {
  if (!Options.AddressServices.empty()) return Options.AddressServices;
  return {shell::kDefaultAddressEchoServices.begin(), shell::kDefaultAddressEchoServices.end()};
}

// The one-time start-up work the window does at its first activation. Returns false
// when the data folder was refused and the program must end.
bool StartUpWork(const TProgramOptions& Options, std::uint16_t Port, TActivityLog& Log, IOperatorDialogs& Dialogs) {
  platform::TSystemRegistry Registry;
  platform::TSystemProfileStrings ProfileStrings;
  platform::TSystemFileSystem Files;
  const TDataFolderServices Folders{Registry, ProfileStrings, Files, Dialogs};
  const TDataFolderOutcome Outcome = Options.DataFolder ? PublishDataFolder(*Options.DataFolder, Folders, PastaDados)
                                                        : ResolveDataFolder(Folders, PastaDados);
  if (Outcome == TDataFolderOutcome::MarkerMissing) return false;
  std::cout << DataFolderStatusText(PastaDados.Get()) << std::endl;

  platform::TSystemHostAddresses Host;
  std::cout << shell::kLanAddressCaption << ObterIPLocal(Host) << '\n'
            << shell::kPortInUseCaption << Port << std::endl;
  Log.Append(shell::kLogServerStarted);

  platform::TSystemHttpGet Http;
  const std::optional<std::string> Internet = ObterIPInternet(Http, AddressServices(Options));
  std::cout << shell::kInternetAddressCaption << Internet.value_or(std::string(shell::kInternetAddressUnavailable))
            << std::endl;
  return true;
}

}  // namespace

int RunHeadless(const TProgramOptions& Options) {
  platform::TSystemLocalClock Clock;
  platform::TSystemRegionalFormat Format;
  TActivityLog Log(Clock, Format);
  TStreamLogSink Sink(std::cout);
  Log.Attach(Sink);
  platform::TSystemFileSystem Files;
  const TServerMethodsServices Services{Log, [] { return PastaDados.Get(); }, Session(),
                                        [&Files](const std::string& Path) { return Files.FileExists(Path); }};

  // The server listens before the data folder is known, as with the window.
  std::unique_ptr<TServerContainer1> ServerContainer1;
  try {
    ServerContainer1 = std::make_unique<TServerContainer1>(Services, TServerContainerSettings{.Port = Options.Port});
  } catch (const std::exception& Error) {
    std::cerr << StartFailureText(Error) << std::endl;
    Log.Detach(Sink);
    return shell::kExitCodeStartFailure;
  }

  THeadlessDialogs Dialogs(std::cin, std::cout, std::cerr, platform::StandardInputIsTerminal());
  int ExitCode = 0;
  try {
    if (StartUpWork(Options, ServerContainer1->BoundPort(), Log, Dialogs)) platform::WaitForStopRequest();
    else ExitCode = shell::kExitCodeNoDatabase;
  } catch (const std::exception& Error) {
    // As a window reports a failing start-up step and goes on serving.
    std::cerr << Error.what() << std::endl;
    platform::WaitForStopRequest();
  }
  ServerContainer1.reset();
  Log.Detach(Sink);
  return ExitCode;
}

}  // namespace tavrin
