// The connection threads' pool gives back what a task's libraries kept for its thread
// (platform/thread_resources.h) before the thread parks, every time.

#include "transport/thread_pool_scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/thread_resources.h"

namespace tavrin {
namespace {

TEST(ThreadPoolScheduler, AThreadGivesBackWhatItsTaskKeptBeforeItParks) {
  TDSThreadPoolScheduler Pool(1, 0);
  Pool.Start();
  std::atomic<int> Released{0};
  std::atomic<bool> OnItsOwnThread{true};
  for (int Round = 1; Round <= 2; ++Round) {
    std::function<void()> Task = [&] {
      const std::thread::id Self = std::this_thread::get_id();
      platform::OnThreadRelease([&, Self] {
        if (std::this_thread::get_id() != Self) OnItsOwnThread = false;
        ++Released;
      });
    };
    Pool.Run(Task);
    // The thread counts as busy until it has given back and parks.
    for (int Wait = 0; Wait < 500 && Pool.ParkedCount() != 1; ++Wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(Pool.ParkedCount(), 1u);
    EXPECT_EQ(Released, Round);
  }
  EXPECT_TRUE(OnItsOwnThread);
  EXPECT_EQ(Pool.ThreadCount(), 1u);  // the same parked thread served both
}

}  // namespace
}  // namespace tavrin
