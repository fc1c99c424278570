#include "platform/thread_setup.h"

namespace tavrin::platform {

// Raising a thread above the process's own priority needs privileges an ordinary
// process lacks here; the thread keeps its priority.
bool RaiseCurrentThreadPriority() noexcept { return false; }

// There is no COM: the apartment is entered trivially.
TThreadApartment::TThreadApartment() noexcept : FEntered(true) {}

TThreadApartment::~TThreadApartment() = default;

}  // namespace tavrin::platform
