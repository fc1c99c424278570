#include "app/tavrin/program_options.h"

#include <CLI/CLI.hpp>

#include "vocabulary/program_version.h"

namespace tavrin {

TServerContainerSettings ServerSettings(const TProgramOptions& Options) {
  constexpr std::int32_t kMsPerSecond = 1000;
  return {.Port = Options.Port,
          .MaxConnections = Options.MaxConnections,
          .ConnectTimeoutMs = Options.ConnectTimeoutS * kMsPerSecond,
          .IdleTimeoutMs = Options.IdleTimeoutS * kMsPerSecond,
          .LoginDelayMaxMs = Options.LoginDelayMaxMs,
          .ClientMemoryMB = Options.ClientMemoryMB};
}

TParsedCommandLine ParseProgramOptions(int argc, const char* const* argv, std::ostream& Out, std::ostream& Err) {
  TProgramOptions Options;
  CLI::App App{"TAVRIN: the mobile apps' server beside ZUL.", "tavrin"};
  App.set_version_flag("--version", std::string("tavrin ") + kProgramVersion);
  App.add_flag("--headless", Options.Headless, "run without a window; the log goes to standard output");
  App.add_option("--data-folder", Options.DataFolder, "the data folder (holding zul.dll and tabelas.db)");
  App.add_option("--port", Options.Port, "the TCP port to listen on (0: any free port)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  App.add_option("--max-connections", Options.MaxConnections,
                 "connections open at once; a client past it is turned away at once (0: no bound)")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  App.add_option("--connect-timeout", Options.ConnectTimeoutS,
                 "seconds a new client has for its first whole request before it is closed (0: no bound)")
      ->capture_default_str()
      ->check(CLI::Range(0, 86400));
  App.add_option("--idle-timeout", Options.IdleTimeoutS,
                 "seconds of silence after which a connection is closed (0: never)")
      ->capture_default_str()
      ->check(CLI::Range(0, 86400));
  App.add_option("--login-delay", Options.LoginDelayMaxMs,
                 "longest extra wait, in ms, before a login answer to an address with 10 failed logins "
                 "in the last minute (0: never slowed)")
      ->capture_default_str()
      ->check(CLI::Range(0, 60000));
  App.add_option("--client-memory", Options.ClientMemoryMB,
                 "MB the server may hold for all clients together; past it a request waits a few seconds "
                 "for room, then is refused (0: no bound)")
      ->capture_default_str()
      ->check(CLI::Range(0, 1024 * 1024));
  App.add_option("--address-service", Options.AddressServices,
                 "an address-echo web service asked for the internet address; repeat for more, in order");
  try {
    App.parse(argc, argv);
  } catch (const CLI::ParseError& Error) {
    TParsedCommandLine Result;
    Result.ExitCode = App.exit(Error, Out, Err);
    return Result;
  }
  return {Options, 0};
}

}  // namespace tavrin
