#pragma once
// How a program without a window hears that it should stop: SIGINT or SIGTERM
// (Ctrl+C, a service manager's stop), or on Windows the console's Ctrl+C, Ctrl+Break
// and close events.

namespace tavrin::platform {

// Holds the stop requests from now on until WaitForStopRequest takes them, so that no
// thread the program starts later is interrupted by one. Call once, first thing in
// main, before any thread is started.
void HoldStopRequests();

// Blocks the calling thread until a stop is requested; returns at once when one came
// since HoldStopRequests. Call on the thread that called HoldStopRequests.
void WaitForStopRequest();

// Requests a stop from within the program, as a signal from outside would: a thread
// blocked in WaitForStopRequest returns.
void RequestStop();

}  // namespace tavrin::platform
