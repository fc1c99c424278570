#pragma once
// Keeps the calling thread, and every thread it starts meanwhile (a server's), on one
// processor. A round trip's ratio to an echo then measures the work and the system calls
// of both sides alike: on several processors it swings with where the scheduler happens
// to place each side's threads (seen from 1.5x to 5x for the same login).

#include <cstddef>

#if defined(__linux__)
#include <sched.h>
#endif

namespace tavrin::bench {

class TOnOneCore {
 public:
  TOnOneCore() {
#if defined(__linux__)
    FPinned = sched_getaffinity(0, sizeof FBefore, &FBefore) == 0;
    if (!FPinned) return;
    cpu_set_t One;
    CPU_ZERO(&One);
    for (std::size_t Cpu = CPU_SETSIZE; Cpu-- > 0;) {
      if (CPU_ISSET(Cpu, &FBefore)) {
        CPU_SET(Cpu, &One);  // the last one allowed: the first is where interrupts tend to land
        break;
      }
    }
    FPinned = sched_setaffinity(0, sizeof One, &One) == 0;
#endif
  }
  ~TOnOneCore() {
#if defined(__linux__)
    if (FPinned) sched_setaffinity(0, sizeof FBefore, &FBefore);
#endif
  }
  TOnOneCore(const TOnOneCore&) = delete;
  TOnOneCore& operator=(const TOnOneCore&) = delete;

 private:
#if defined(__linux__)
  cpu_set_t FBefore{};
  bool FPinned = false;
#endif
};

}  // namespace tavrin::bench
