#include "platform/stop_request.h"

#include <windows.h>

namespace tavrin::platform {

namespace {

HANDLE StopEvent = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
  SetEvent(StopEvent);
  // Closing the console ends the process once this returns: give the main thread
  // time to stop the server first.
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void HoldStopRequests() {
  StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStopRequest() { WaitForSingleObject(StopEvent, INFINITE); }

void RequestStop() { SetEvent(StopEvent); }

}  // namespace tavrin::platform
