#include "platform/descriptor_limit.h"

namespace tavrin::platform {

// Sockets are kernel handles there, bounded by memory rather than a per-process limit.
std::int64_t RaiseDescriptorLimit() noexcept { return -1; }

}  // namespace tavrin::platform
