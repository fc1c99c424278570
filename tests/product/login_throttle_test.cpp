// The login throttle: which answers wait and how long, per address and over time.

#include "product/login_throttle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using TClock = TLoginThrottle::TClock;

TEST(LoginThrottle, DelayGrowsPastTheFreeFailuresToTheLongestPerAddressWithinTheWindow) {
  TLoginThrottle Throttle(800ms);
  const TClock::time_point Start{};
  // The delay of the answer that follows Failures failures of one address.
  const struct { int Failures; std::chrono::milliseconds Delay; } Cases[] = {
      {0, 0ms}, {9, 0ms}, {10, 100ms}, {11, 200ms}, {12, 400ms}, {13, 800ms}, {40, 800ms},
  };
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Failures);
    TLoginThrottle Fresh(800ms);
    for (int i = 0; i < c.Failures; ++i) Fresh.RecordFailure("10.0.0.9", Start + std::chrono::seconds(i));
    const auto Now = Start + std::chrono::seconds(c.Failures);
    EXPECT_EQ(Fresh.DelayFor("10.0.0.9", Now), c.Delay);
    EXPECT_EQ(Fresh.DelayFor("10.0.0.8", Now), 0ms);
  }
  // Failures older than a minute no longer count: ten within 9 s, then one more later.
  for (int i = 0; i < 10; ++i) Throttle.RecordFailure("a", Start + std::chrono::seconds(i));
  EXPECT_EQ(Throttle.DelayFor("a", Start + 59s), 100ms);
  EXPECT_EQ(Throttle.DelayFor("a", Start + 60s), 0ms);  // the first has left the window
  Throttle.RecordFailure("a", Start + 61s);
  EXPECT_EQ(Throttle.DelayFor("a", Start + 61s), 0ms);
  EXPECT_EQ(Throttle.DelayFor("a", Start + 200s), 0ms);
}

TEST(LoginThrottle, ZeroSwitchesItOff) {
  TLoginThrottle Off(0ms);
  for (int i = 0; i < 50; ++i) Off.RecordFailure("a", TClock::time_point{});
  EXPECT_EQ(Off.DelayFor("a", TClock::time_point{}), 0ms);
}

TEST(LoginThrottle, AddressesPastTheMemoryBoundDropTheOldestNotTheNewest) {
  TLoginThrottle Throttle(800ms);
  const TClock::time_point Start{};
  for (int i = 0; i < 10; ++i) Throttle.RecordFailure("guesser", Start + std::chrono::milliseconds(1000 + i));
  // Every other slot taken by addresses failing earlier, once each.
  for (std::size_t i = 0; i + 1 < TLoginThrottle::kMaxAddresses; ++i) Throttle.RecordFailure(std::to_string(i), Start);
  Throttle.RecordFailure("newcomer", Start + 2s);
  EXPECT_EQ(Throttle.DelayFor("guesser", Start + 2s), 100ms);
}

TEST(LoginThrottle, StopEndsAWaitUnderWayAndEveryLaterOne) {
  TLoginThrottle Throttle(2000ms);
  const auto Began = TClock::now();
  std::thread Waiter([&] { Throttle.Wait(10s); });
  std::this_thread::sleep_for(50ms);
  Throttle.Stop();
  Waiter.join();
  Throttle.Wait(10s);
  EXPECT_LT(TClock::now() - Began, 5s);
}

}  // namespace
}  // namespace tavrin
