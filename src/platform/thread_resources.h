#pragma once
// What a thread keeps for itself between tasks and gives back when it parks or ends.
// A library that keeps something per thread (the database engine's connections, say)
// registers a release callback on the thread that holds it; whoever runs a pool of
// threads calls ReleaseThreadResources when a thread parks and before it ends, so the
// pool need not know which libraries keep what.
//
// Threading: every function acts on the calling thread's own list only.

#include <functional>

namespace tavrin::platform {

// Adds Release to the calling thread's list. It runs once, on this thread, at the next
// ReleaseThreadResources; register again afterwards to be called again.
void OnThreadRelease(std::function<void()> Release);

// Runs and forgets the calling thread's callbacks, in the order they were registered.
// An exception from a callback is dropped: releasing must go on with the others.
void ReleaseThreadResources() noexcept;

}  // namespace tavrin::platform
