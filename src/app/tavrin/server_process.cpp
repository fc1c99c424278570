#include "app/tavrin/server_process.h"

#include "shell/data_folder.h"
#include "engine/database_session.h"

namespace tavrin {

TServerProcess::TServerProcess()
    : FServices{FLog, [] { return PastaDados.Get(); }, Session(),
                [this](const std::string& Path) { return FFiles.FileExists(Path); }} {}

std::unique_ptr<TServerContainer1> TServerProcess::StartServer(const TServerContainerSettings& Settings) const {
  return std::make_unique<TServerContainer1>(FServices, Settings);
}

}  // namespace tavrin
