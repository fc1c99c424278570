#include "app/tavrin/system_start_up_work.h"

#include <vector>

#include "shell/address_discovery.h"
#include "shell/data_folder.h"
#include "shell/shell_constants.h"
#include "platform/file_system.h"
#include "platform/host_addresses.h"
#include "platform/http_get.h"
#include "platform/profile_strings.h"
#include "platform/registry.h"
#include "platform/shell_open.h"

namespace tavrin {

std::optional<std::string> TSystemStartUpWork::ResolveDataFolder() {
  platform::TSystemRegistry Registry;
  platform::TSystemProfileStrings ProfileStrings;
  platform::TSystemFileSystem Files;
  const TDataFolderServices Folders{Registry, ProfileStrings, Files, FDialogs};
  const TDataFolderOutcome Outcome = FOptions.DataFolder ? PublishDataFolder(*FOptions.DataFolder, Folders, PastaDados)
                                                         : tavrin::ResolveDataFolder(Folders, PastaDados);
  if (Outcome == TDataFolderOutcome::MarkerMissing) return std::nullopt;
  return PastaDados.Get();
}

std::string TSystemStartUpWork::LanAddress() {
  platform::TSystemHostAddresses Host;
  return ObterIPLocal(Host);
}

void TSystemStartUpWork::LogServerStarted() { FLog.Append(shell::kLogServerStarted); }

std::string TSystemStartUpWork::InternetAddress() {
  std::vector<std::string> Services = FOptions.AddressServices;
  if (Services.empty()) Services.assign(shell::kDefaultAddressEchoServices.begin(), shell::kDefaultAddressEchoServices.end());
  platform::TSystemHttpGet Http;
  return ObterIPInternet(Http, Services).value_or(std::string(shell::kInternetAddressUnavailable));
}

void TSystemStartUpWork::OpenPortCheckPage() { platform::OpenWithShell(std::string(shell::kPortCheckPage)); }

}  // namespace tavrin
