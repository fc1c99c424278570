#pragma once
// The server program with its window: the window is made first (hidden), the server
// container second (listening before the window shows), then the window runs until
// the operator closes it; the container goes before the window.

#include "app/tavrin/program_options.h"

namespace tavrin {

// Returns the process's exit code: 0 after the window was closed, after a stop request
// (SIGINT/SIGTERM close the window as the operator would) or after the data folder was
// refused; 1 when the server cannot start (the "Application Error" box was shown and
// the window never was). The caller must have called platform::HoldStopRequests before
// any thread started.
int RunWithWindow(const TProgramOptions& Options, int& argc, char** argv);

}  // namespace tavrin
