#include "platform/stop_request.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace tavrin::platform {

namespace {

sigset_t StopSignals() {
  sigset_t Set;
  sigemptyset(&Set);
  sigaddset(&Set, SIGINT);
  sigaddset(&Set, SIGTERM);
  return Set;
}

}  // namespace

void HoldStopRequests() {
  // Blocked here, the signals stay pending for sigwait; threads started later inherit
  // the mask, so none of them is interrupted.
  const sigset_t Set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &Set, nullptr);
}

void WaitForStopRequest() {
  const sigset_t Set = StopSignals();
  int Signal = 0;
  while (sigwait(&Set, &Signal) != 0) {
  }
}

void RequestStop() { kill(getpid(), SIGTERM); }

}  // namespace tavrin::platform
