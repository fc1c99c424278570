#include "product/login_throttle.h"

#include <algorithm>
#include <iterator>

namespace tavrin {

namespace {
// Doublings from the first delay to the longest: MaxDelay / 8, / 4, / 2, then MaxDelay.
constexpr int kThrottleDoublings = 3;
// Failures kept per address: enough to reach the longest delay.
constexpr std::size_t kThrottleKeptFailures = TLoginThrottle::kFreeFailures + kThrottleDoublings;
}  // namespace

void TLoginThrottle::Forget(std::deque<TClock::time_point>& Failures, TClock::time_point Now) {
  while (!Failures.empty() && Now - Failures.front() >= kFailureWindow) Failures.pop_front();
}

std::chrono::milliseconds TLoginThrottle::DelayFor(const std::string& Address, TClock::time_point Now) {
  if (FMaxDelay.count() <= 0) return std::chrono::milliseconds(0);
  std::lock_guard Lock(FMutex);
  const auto Found = FFailures.find(Address);
  if (Found == FFailures.end()) return std::chrono::milliseconds(0);
  Forget(Found->second, Now);
  const int Failures = static_cast<int>(Found->second.size());
  if (Found->second.empty()) FFailures.erase(Found);
  if (Failures < kFreeFailures) return std::chrono::milliseconds(0);
  const int Halvings = std::max(0, kThrottleDoublings - (Failures - kFreeFailures));
  return FMaxDelay / (1 << Halvings);
}

void TLoginThrottle::RecordFailure(const std::string& Address, TClock::time_point Now) {
  if (FMaxDelay.count() <= 0) return;
  std::lock_guard Lock(FMutex);
  if (FFailures.size() >= kMaxAddresses && FFailures.find(Address) == FFailures.end()) MakeRoom(Now);
  auto& Failures = FFailures[Address];
  Forget(Failures, Now);
  Failures.push_back(Now);
  if (Failures.size() > kThrottleKeptFailures) Failures.pop_front();
}

void TLoginThrottle::MakeRoom(TClock::time_point Now) {
  for (auto It = FFailures.begin(); It != FFailures.end();) {
    Forget(It->second, Now);
    It = It->second.empty() ? FFailures.erase(It) : std::next(It);
  }
  if (FFailures.size() < kMaxAddresses) return;
  // Every address failed within the window: the one whose last failure is oldest goes.
  const auto Oldest = std::min_element(FFailures.begin(), FFailures.end(), [](const auto& A, const auto& B) {
    return A.second.back() < B.second.back();
  });
  FFailures.erase(Oldest);
}

void TLoginThrottle::Wait(std::chrono::milliseconds Delay) {
  if (Delay.count() <= 0) return;
  std::unique_lock Lock(FMutex);
  FStopSignal.wait_for(Lock, Delay, [this] { return FStopped; });
}

void TLoginThrottle::Stop() {
  {
    std::lock_guard Lock(FMutex);
    FStopped = true;
  }
  FStopSignal.notify_all();
}

}  // namespace tavrin
