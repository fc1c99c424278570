// The per-thread release list: callbacks run on their own thread, in order, once, and
// one that fails does not stop the others.

#include "platform/thread_resources.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

namespace tavrin::platform {
namespace {

TEST(ThreadResources, EachThreadReleasesOnlyItsOwnOnceInOrder) {
  std::string Released;
  OnThreadRelease([&] { Released += "a"; });
  OnThreadRelease([] { throw std::runtime_error("a library that fails to give back"); });
  OnThreadRelease([&] { Released += "b"; });

  std::string OtherReleased;
  std::thread Other([&] {
    OnThreadRelease([&] { OtherReleased += "x"; });
    ReleaseThreadResources();
  });
  Other.join();
  EXPECT_EQ(OtherReleased, "x");
  EXPECT_EQ(Released, "");

  ReleaseThreadResources();
  EXPECT_EQ(Released, "ab");
  ReleaseThreadResources();  // nothing registered since
  EXPECT_EQ(Released, "ab");
}

}  // namespace
}  // namespace tavrin::platform
