#pragma once
// Whether the test runs on Wine rather than on Windows itself, for the few library
// behaviours Wine does not provide.

#if defined(_WIN32)
// Sockets' header first: a test program of this folder may use asio, which needs it
// before windows.h.
#include <winsock2.h>
#include <windows.h>
#endif

namespace tavrin::testing {

inline bool RunningUnderWine() {
#if defined(_WIN32)
  const HMODULE Ntdll = GetModuleHandleW(L"ntdll.dll");
  return Ntdll != nullptr && GetProcAddress(Ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace tavrin::testing
