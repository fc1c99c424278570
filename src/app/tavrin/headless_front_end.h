#pragma once
// The server program without a window: the same start-up as with one, with the log on
// standard output, the data folder and the addresses as plain lines there, the input
// box as a prompt (headless_dialogs.h), and SIGINT/SIGTERM in place of closing the
// window. The error boxes are messages on standard error with --headless, otherwise
// the system's own boxes (system_error_boxes.h: real message boxes on Windows).

#include "app/tavrin/program_options.h"

namespace tavrin {

// Runs the program until a stop is requested; returns the process's exit code: 0 after
// a clean stop or after the data folder was refused, 1 when the server cannot start.
// The caller must have called platform::HoldStopRequests before any thread started.
int RunHeadless(const TProgramOptions& Options);

}  // namespace tavrin
