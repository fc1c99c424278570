#pragma once
// tavrin-cli's command line:
//   tavrin-cli [--host H] [--port N] [--trace] COMMAND ...
// --trace writes every byte each way to the error stream (client/tracing_channel.h).
//   COMMAND: login USER PASSWORD | version | zulweb | call ALIAS [ARGS...]
//            | products [--page N] [--xml]
// Arguments that start with '-' (other than negative numbers) go after "--".

#include <ostream>

namespace tavrin::cli {

// Parses Argv (Argc entries, the program's name first) and runs the command it names
// (cli_commands.h), printing to Out and Err. Returns the command's exit code; 0 after
// --help or --version (printed to Out); the parser's non-zero code after a usage error,
// whose message goes to Err starting "tavrin-cli: ". Raises nothing.
int RunCommandLine(int Argc, const char* const* Argv, std::ostream& Out, std::ostream& Err);

}  // namespace tavrin::cli
