#pragma once
// The server program with its Win32 window: the window is made first (hidden), the
// server container second (listening before the window shows), then the window's
// message loop runs until the operator closes the window; the server stops before the
// window goes. When standard output goes to a file or a pipe, the log lines go there
// too, as they do without a window.

#include "app/tavrin/program_options.h"

namespace tavrin {

// Returns the process's exit code: 0 after the window was closed, after a stop request
// or after the data folder was refused; 1 when the server cannot start (the
// "Application Error" box was shown and the window never was). The caller must have
// called platform::HoldStopRequests before any thread started.
int RunWithWin32Window(const TProgramOptions& Options);

}  // namespace tavrin
