#pragma once
// What every front end of the server program shares: the activity log on the system's
// clock and regional formats, and the services the server's methods use (the log,
// `PastaDados`, the process's database session, the file check).
//
// Threading: made and destroyed on the program's main thread; the log and the services
// are then used from every thread.

#include <memory>

#include "shell/activity_log.h"
#include "platform/file_system.h"
#include "platform/local_clock.h"
#include "platform/regional_format.h"
#include "product/server_container.h"

namespace tavrin {

class TServerProcess {
 public:
  TServerProcess();
  TServerProcess(const TServerProcess&) = delete;
  TServerProcess& operator=(const TServerProcess&) = delete;

  TActivityLog& Log() { return FLog; }

  // Creates the server container, which starts listening with Settings; raises what
  // starting raises (a busy port). The container must be destroyed before this object.
  std::unique_ptr<TServerContainer1> StartServer(const TServerContainerSettings& Settings) const;

 private:
  platform::TSystemLocalClock FClock;
  platform::TSystemRegionalFormat FFormat;
  TActivityLog FLog{FClock, FFormat};
  platform::TSystemFileSystem FFiles;
  TServerMethodsServices FServices;
};

}  // namespace tavrin
