#pragma once
// How many sockets and files the process may hold open. Every connection holds a few,
// and the soft limit a process starts with is often far below what the system allows,
// so the server raises it once at start.

#include <cstdint>

namespace tavrin::platform {

// Raises the process's soft limit on open descriptors to its hard limit. Returns the
// limit in force afterwards, or -1 where the system has no such limit (Windows).
std::int64_t RaiseDescriptorLimit() noexcept;

}  // namespace tavrin::platform
