// The server program `tavrin`: with its window where a display is there, without one
// when asked (--headless) or when there is none. On Windows it is a desktop program
// with the system's own window.

#include <iostream>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "app/tavrin/headless_front_end.h"
#include "app/tavrin/program_options.h"
#include "platform/stop_request.h"
#include "platform/terminal.h"
#ifdef TAVRIN_WITH_WINDOW
#include "app/window/window_front_end.h"
#endif
#ifdef TAVRIN_WITH_WIN32_WINDOW
#include "app/window_win32/win32_front_end.h"
#endif

namespace {

// How the C library's allocator serves this program, set before any thread exists. By
// default glibc raises its threshold for mapping a block on its own to the size of each
// large block freed (up to 32 MiB), so after one large request every later block of up
// to that size comes from the heaps, and what a hostile client made the server hold
// stays held by the process once given back. A fixed threshold keeps large blocks
// (long values, replies, the pieces long values are read in) mapped on their own and
// returned to the system when freed.
void TuneAllocator() {
#ifdef __GLIBC__
  constexpr int kOwnMappingBytes = 256 * 1024;
  mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  TuneAllocator();
  // A desktop program on Windows: the output of --help, --version and --headless goes
  // to the console it was started from.
  tavrin::platform::UseParentConsole();
  // Before any thread exists, so that none of them is interrupted by Ctrl+C.
  tavrin::platform::HoldStopRequests();
  const tavrin::TParsedCommandLine Parsed = tavrin::ParseProgramOptions(argc, argv, std::cout, std::cerr);
  if (!Parsed.Options) return Parsed.ExitCode;
#ifdef TAVRIN_WITH_WINDOW
  if (!Parsed.Options->Headless && tavrin::platform::DisplayAvailable()) {
    return tavrin::RunWithWindow(*Parsed.Options, argc, argv);
  }
#endif
#ifdef TAVRIN_WITH_WIN32_WINDOW
  if (!Parsed.Options->Headless) return tavrin::RunWithWin32Window(*Parsed.Options);
  tavrin::platform::HoldConsole();
#endif
  return tavrin::RunHeadless(*Parsed.Options);
}
