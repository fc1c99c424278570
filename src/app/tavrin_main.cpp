// The server program `tavrin`. The window is not part of this build yet, so the
// program runs without one whether or not a display is there.

#include <iostream>

#include "app/headless_front_end.h"
#include "app/program_options.h"
#include "platform/stop_request.h"

int main(int argc, char** argv) {
  // Before any thread exists, so that none of them is interrupted by Ctrl+C.
  tavrin::platform::HoldStopRequests();
  const tavrin::TParsedCommandLine Parsed = tavrin::ParseProgramOptions(argc, argv, std::cout, std::cerr);
  if (!Parsed.Options) return Parsed.ExitCode;
  return tavrin::RunHeadless(*Parsed.Options);
}
