#include "platform/local_clock.h"

#include <windows.h>

namespace tavrin::platform {

TLocalDateTime TSystemLocalClock::Now() {
  SYSTEMTIME Local{};
  GetLocalTime(&Local);
  return {Local.wYear, Local.wMonth, Local.wDay, Local.wHour, Local.wMinute, Local.wSecond,
          Local.wMilliseconds};
}

}  // namespace tavrin::platform
