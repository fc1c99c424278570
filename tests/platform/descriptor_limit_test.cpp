#include "platform/descriptor_limit.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace tavrin::platform {
namespace {

TEST(DescriptorLimit, TheSoftLimitIsRaisedToTheHardOne) {
#if defined(_WIN32)
  EXPECT_EQ(RaiseDescriptorLimit(), -1);
#else
  rlimit Before{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &Before), 0);
  // Start below the hard limit, as a process often does.
  if (Before.rlim_max > 256) {
    rlimit Lowered = Before;
    Lowered.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &Lowered), 0);
  }
  const std::int64_t Raised = RaiseDescriptorLimit();
  rlimit After{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &After), 0);
  EXPECT_EQ(After.rlim_cur, Before.rlim_max);
  if (After.rlim_cur != RLIM_INFINITY) {
    EXPECT_EQ(Raised, static_cast<std::int64_t>(After.rlim_cur));
  }
#endif
}

}  // namespace
}  // namespace tavrin::platform
