#include "platform/descriptor_limit.h"

#include <sys/resource.h>

namespace tavrin::platform {

std::int64_t RaiseDescriptorLimit() noexcept {
  rlimit Limit{};
  if (getrlimit(RLIMIT_NOFILE, &Limit) != 0) return -1;
  if (Limit.rlim_cur != Limit.rlim_max) {
    rlimit Raised = Limit;
    Raised.rlim_cur = Limit.rlim_max;
    // Refused (a hard limit the kernel will not grant): the old limit stays.
    if (setrlimit(RLIMIT_NOFILE, &Raised) == 0) Limit = Raised;
  }
  return Limit.rlim_cur == RLIM_INFINITY ? INT64_MAX : static_cast<std::int64_t>(Limit.rlim_cur);
}

}  // namespace tavrin::platform
