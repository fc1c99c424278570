#pragma once
// The command line of the server program `tavrin`. Without options it behaves as the
// shop runs it: the default port (vocabulary/defaults.h), the data folder found through
// the registry, ROTAS.INI or the operator, the window when a display is there. --help
// shows the defaults.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "product/server_container.h"
#include "vocabulary/defaults.h"

namespace tavrin {

struct TProgramOptions {
  // Run without a window (a service, a terminal, tests).
  bool Headless = false;
  // The data folder, instead of looking it up; its marker file is still checked.
  std::optional<std::string> DataFolder;
  // The TCP port listened on; 0 lets the system choose one.
  std::int32_t Port = defaults::kPort;
  // The address-echo services asked for the internet address, in order; empty: the
  // built-in list.
  std::vector<std::string> AddressServices;
  // Connections open at once; 0 = no bound.
  std::int32_t MaxConnections = defaults::kMaxConnections;
  // Seconds a new client has for its first whole request; 0 = no bound.
  std::int32_t ConnectTimeoutS = defaults::kConnectRequestTimeoutMs / 1000;
  // Seconds of silence that end a connection; 0 (default) = never.
  std::int32_t IdleTimeoutS = defaults::kIdleTimeoutMs / 1000;
  // Longest extra wait of a login answer to an address that keeps failing, in ms; 0 = off.
  std::int32_t LoginDelayMaxMs = defaults::kLoginDelayMaxMs;
  // MB held for all clients together; 0 = no bound.
  std::int32_t ClientMemoryMB = defaults::kClientMemoryBudgetMB;
};

// Either the options to run with, or the exit code to end with at once (after --help,
// --version, or a usage error, whose text went to Out or Err).
struct TParsedCommandLine {
  std::optional<TProgramOptions> Options;
  int ExitCode = 0;
};

// The server's settings the options choose.
TServerContainerSettings ServerSettings(const TProgramOptions& Options);

TParsedCommandLine ParseProgramOptions(int argc, const char* const* argv, std::ostream& Out, std::ostream& Err);

}  // namespace tavrin
