#include "platform/thread_resources.h"

#include <memory>
#include <utility>
#include <vector>

namespace tavrin::platform {
namespace {

// A plain pointer, not a vector: with a thread-local vector (an object with a
// destructor) on the pool's threads, the Windows build crashed on its way out after a
// console stop (a jump to an address holding no code, seen under Wine). The list lives
// while it holds callbacks and goes with the release that empties it.
thread_local std::vector<std::function<void()>>* ThreadReleases = nullptr;

}  // namespace

void OnThreadRelease(std::function<void()> Release) {
  if (!ThreadReleases) ThreadReleases = new std::vector<std::function<void()>>();
  ThreadReleases->push_back(std::move(Release));
}

void ReleaseThreadResources() noexcept {
  // A callback may register again: those wait for the next release.
  if (!ThreadReleases) return;
  std::unique_ptr<std::vector<std::function<void()>>> Releases(ThreadReleases);
  ThreadReleases = nullptr;
  for (auto& Release : *Releases) {
    try {
      Release();
    } catch (...) {
      // Safe to drop: one library failing to give back must not keep the others' things.
    }
  }
}

}  // namespace tavrin::platform
