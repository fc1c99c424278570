#include "platform/thread_resources.h"

#include <utility>
#include <vector>

namespace tavrin::platform {
namespace {

using TReleases = std::vector<std::function<void()>>;

#if defined(_WIN32)
// Under Windows, a thread-local vector (an object with a destructor) on the pool's
// threads made the program crash on its way out after a console stop (seen under
// Wine). There the list is a plain pointer, made on first use and freed by the release
// that empties it; the pool always releases before a thread ends.
thread_local TReleases* ThreadReleases = nullptr;

TReleases& ListOfThisThread() {
  if (!ThreadReleases) ThreadReleases = new TReleases();
  return *ThreadReleases;
}

TReleases TakeListOfThisThread() {
  if (!ThreadReleases) return {};
  TReleases Taken = std::move(*ThreadReleases);
  delete ThreadReleases;
  ThreadReleases = nullptr;
  return Taken;
}
#else
thread_local TReleases ThreadReleases;

TReleases& ListOfThisThread() { return ThreadReleases; }

TReleases TakeListOfThisThread() {
  TReleases Taken;
  Taken.swap(ThreadReleases);
  return Taken;
}
#endif

}  // namespace

void OnThreadRelease(std::function<void()> Release) { ListOfThisThread().push_back(std::move(Release)); }

void ReleaseThreadResources() noexcept {
  // A callback may register again: those wait for the next release.
  TReleases Releases = TakeListOfThisThread();
  for (auto& Release : Releases) {
    try {
      Release();
    } catch (...) {
      // Safe to drop: one library failing to give back must not keep the others' things.
    }
  }
}

}  // namespace tavrin::platform
