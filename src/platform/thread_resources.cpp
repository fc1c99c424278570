#include "platform/thread_resources.h"

#include <utility>
#include <vector>

namespace tavrin::platform {
namespace {

thread_local std::vector<std::function<void()>> ThreadReleases;

}  // namespace

void OnThreadRelease(std::function<void()> Release) { ThreadReleases.push_back(std::move(Release)); }

void ReleaseThreadResources() noexcept {
  // A callback may register again: those wait for the next release.
  std::vector<std::function<void()>> Releases;
  Releases.swap(ThreadReleases);
  for (auto& Release : Releases) {
    try {
      Release();
    } catch (...) {
      // Safe to drop: one library failing to give back must not keep the others' things.
    }
  }
}

}  // namespace tavrin::platform
