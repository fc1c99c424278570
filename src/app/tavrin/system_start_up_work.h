#pragma once
// The start-up work on the real system: the data folder from the command line or the
// registry, ROTAS.INI and the operator; the addresses from the host and the address
// services; the log line; the port-check page through the desktop's shell.
//
// Threading: the GUI thread (or the headless program's main thread) only.

#include "shell/activity_log.h"
#include "shell/operator_dialogs.h"
#include "app/tavrin/program_options.h"
#include "shell/start_up_work.h"

namespace tavrin {

class TSystemStartUpWork final : public IStartUpWork {
 public:
  // Everything must outlive the object.
  TSystemStartUpWork(const TProgramOptions& Options, TActivityLog& Log, IOperatorDialogs& Dialogs)
      : FOptions(Options), FLog(Log), FDialogs(Dialogs) {}

  std::optional<std::string> ResolveDataFolder() override;
  std::string LanAddress() override;
  void LogServerStarted() override;
  std::string InternetAddress() override;
  void OpenPortCheckPage() override;

 private:
  const TProgramOptions& FOptions;
  TActivityLog& FLog;
  IOperatorDialogs& FDialogs;
};

}  // namespace tavrin
