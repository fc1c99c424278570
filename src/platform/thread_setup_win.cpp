#include "platform/thread_setup.h"

#include <objbase.h>
#include <windows.h>

namespace tavrin::platform {

bool RaiseCurrentThreadPriority() noexcept {
  return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0;
}

TThreadApartment::TThreadApartment() noexcept
    : FEntered(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

TThreadApartment::~TThreadApartment() {
  // Only a successful entry (S_OK or S_FALSE) is balanced by a leave.
  if (FEntered) CoUninitialize();
}

}  // namespace tavrin::platform
