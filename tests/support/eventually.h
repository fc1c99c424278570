#pragma once
// Waiting for something another thread or process does: poll the condition until it
// holds. The deadline is generous because CI runs the suite on a busy machine; a test
// that passes only waits as long as the condition takes.

#include <chrono>
#include <thread>

namespace tavrin::testing {

inline constexpr std::chrono::milliseconds kEventuallyPatience = std::chrono::seconds(60);

// Polls Condition until it holds or Patience ran out; returns its last value.
template <typename TCondition>
bool Eventually(TCondition Condition, std::chrono::milliseconds Patience = kEventuallyPatience) {
  const auto Deadline = std::chrono::steady_clock::now() + Patience;
  while (!Condition()) {
    if (std::chrono::steady_clock::now() > Deadline) {
      return Condition();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace tavrin::testing
