#pragma once
// TLoginThrottle: slows the answers to an address that keeps guessing passwords. Once
// an address has failed kFreeFailures logins within kFailureWindow, every further login
// answer to it (a right one too, so the time tells nothing) waits an extra delay that
// doubles from MaxDelay / 8 up to MaxDelay. The answers themselves never change, and
// other addresses are not slowed.
//
// Threading: every operation may be called from any thread. The wait runs on the
// calling connection's thread only and holds no lock; Stop ends every wait at once.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tavrin {

class TLoginThrottle {
 public:
  using TClock = std::chrono::steady_clock;
  // Failed logins an address may make within the window before its answers wait.
  static constexpr int kFreeFailures = 10;
  static constexpr std::chrono::seconds kFailureWindow{60};
  // Addresses remembered at once; past it the ones whose failures are oldest go first.
  static constexpr std::size_t kMaxAddresses = 4096;

  // MaxDelay 0 switches the throttle off.
  explicit TLoginThrottle(std::chrono::milliseconds MaxDelay) : FMaxDelay(MaxDelay) {}

  // The extra wait before a login answer to Address, from its failures in the window
  // that ends at Now.
  std::chrono::milliseconds DelayFor(const std::string& Address, TClock::time_point Now);
  // Counts a failed login of Address at Now.
  void RecordFailure(const std::string& Address, TClock::time_point Now);
  // Waits Delay, or less once Stop has been called.
  void Wait(std::chrono::milliseconds Delay);
  // Ends the waits under way and every later one (the server is stopping).
  void Stop();

 private:
  // Drops the failures of Failures older than the window ending at Now.
  static void Forget(std::deque<TClock::time_point>& Failures, TClock::time_point Now);
  void MakeRoom(TClock::time_point Now);

  const std::chrono::milliseconds FMaxDelay;
  std::mutex FMutex;  // guards FFailures and FStopped
  std::condition_variable FStopSignal;
  // Per address, the times of its recent failures, oldest first, at most the count
  // that reaches the longest delay.
  std::unordered_map<std::string, std::deque<TClock::time_point>> FFailures;
  bool FStopped = false;
};

}  // namespace tavrin
