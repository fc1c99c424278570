#include "app/tavrin/server_process.h"

#include "shell/data_folder.h"
#include "engine/database_session.h"

namespace tavrin {

TServerProcess::TServerProcess()
    : FServices{FLog, [] { return PastaDados.Get(); }, Session(),
                [this](const std::string& Path) { return FFiles.FileExists(Path); }} {}

std::unique_ptr<TServerContainer1> TServerProcess::StartServer(std::int32_t Port) const {
  return std::make_unique<TServerContainer1>(FServices, TServerContainerSettings{.Port = Port});
}

}  // namespace tavrin
