// What the server asks of the system for its threads, seen from the system's side on
// Windows: a connection thread's COM apartment is single-threaded while the object
// lives and gone afterwards; an accepting thread runs at the highest priority. (The
// portable side asks nothing, so there is nothing to see there.)

#include <gtest/gtest.h>

#include "platform/thread_setup.h"

#if defined(_WIN32)
#include <objbase.h>
#include <windows.h>

#include <thread>
#endif

namespace tavrin::platform {
namespace {

#if defined(_WIN32)

// What entering an apartment of Mode says on the calling thread (undone at once).
HRESULT ProbeApartment(DWORD Mode) {
  const HRESULT Result = CoInitializeEx(nullptr, Mode);
  if (SUCCEEDED(Result)) CoUninitialize();
  return Result;
}

TEST(ThreadApartment, IsSingleThreadedWhileItLivesAndLeftAfterwards) {
  HRESULT Inside = E_FAIL, Multithreaded = E_FAIL, After = E_FAIL;
  bool Entered = false;
  std::thread([&] {
    {
      const TThreadApartment Apartment;
      Entered = Apartment.Entered();
      Inside = ProbeApartment(COINIT_APARTMENTTHREADED);  // S_FALSE: already in one
      Multithreaded = ProbeApartment(COINIT_MULTITHREADED);
    }
    After = ProbeApartment(COINIT_APARTMENTTHREADED);  // S_OK: the first again
  }).join();
  EXPECT_TRUE(Entered);
  EXPECT_EQ(Inside, S_FALSE);
  EXPECT_EQ(Multithreaded, RPC_E_CHANGED_MODE);
  EXPECT_EQ(After, S_OK);
}

TEST(ThreadPriority, AnAcceptingThreadRunsAtTheHighestPriority) {
  int Priority = THREAD_PRIORITY_ERROR_RETURN;
  bool Raised = false;
  std::thread([&] {
    Raised = RaiseCurrentThreadPriority();
    Priority = GetThreadPriority(GetCurrentThread());
  }).join();
  EXPECT_TRUE(Raised);
  EXPECT_EQ(Priority, THREAD_PRIORITY_HIGHEST);
}

#endif

}  // namespace
}  // namespace tavrin::platform
