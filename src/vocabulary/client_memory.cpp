#include "vocabulary/client_memory.h"

#include <algorithm>
#include <string>
#include <utility>

#include "vocabulary/dbx_error.h"
#include "vocabulary/thread_own.h"

namespace tavrin {

namespace {
struct TCurrentConnectionMemoryTag {};
std::shared_ptr<TConnectionMemory>& CurrentConnectionMemory() noexcept {
  return ThisThreadOwn<std::shared_ptr<TConnectionMemory>, TCurrentConnectionMemoryTag>();
}

std::string MemoryMiB(std::int64_t Bytes) { return std::to_string(Bytes / (1024 * 1024)) + " MiB"; }

// How often a charge waiting for room looks whether its client has gone.
constexpr std::chrono::milliseconds kClientGoneProbe{100};
// At most one refusal report per this long.
constexpr std::chrono::seconds kRefusalReportInterval{1};
}  // namespace

// --- The server's budget -----------------------------------------------------------------

TServerMemoryBudget::TServerMemoryBudget(std::int64_t Limit, std::chrono::milliseconds Wait) noexcept
    : FLimit(Limit), FWait(Wait) {}

void TServerMemoryBudget::SetLimit(std::int64_t Limit, std::chrono::milliseconds Wait) noexcept {
  FLimit = Limit;
  FWait = Wait;
}

bool TServerMemoryBudget::Take(std::int64_t Bytes, const std::function<bool()>& ClientGone) {
  std::unique_lock Lock(FMutex);
  if (FLimit > 0) {
    // More than the whole budget never fits: no use waiting.
    if (Bytes > FLimit) return false;
    const auto Fits = [&] { return FHeld + Bytes <= FLimit; };
    const auto Deadline = std::chrono::steady_clock::now() + FWait;
    while (!Fits()) {
      const auto Now = std::chrono::steady_clock::now();
      if (Now >= Deadline) return false;
      const auto Until = ClientGone ? std::min(Deadline, Now + kClientGoneProbe) : Deadline;
      if (FRoom.wait_until(Lock, Until, Fits)) break;
      if (ClientGone) {
        // The probe may look at a socket: not under the lock other clients wait on.
        Lock.unlock();
        const bool Gone = ClientGone();
        Lock.lock();
        if (Gone) return false;
      }
    }
  }
  FHeld += Bytes;
  return true;
}

void TServerMemoryBudget::Give(std::int64_t Bytes) noexcept {
  {
    std::lock_guard Lock(FMutex);
    FHeld -= Bytes;
  }
  FRoom.notify_all();
}

void TServerMemoryBudget::ReportRefusal(const std::string& Client) {
  if (!FOnRefusal) return;
  {
    std::lock_guard Lock(FMutex);
    const auto Now = std::chrono::steady_clock::now();
    if (FLastRefusalReport && Now - *FLastRefusalReport < kRefusalReportInterval) return;
    FLastRefusalReport = Now;
  }
  FOnRefusal(Client);
}

std::int64_t TServerMemoryBudget::Held() const {
  std::lock_guard Lock(FMutex);
  return FHeld;
}

// --- A connection's share ----------------------------------------------------------------

TConnectionMemory::TConnectionMemory(TServerMemoryBudget* Server, std::int64_t Cap) noexcept
    : FServer(Server), FCap(Cap) {}

TConnectionMemory::~TConnectionMemory() {
  const std::int64_t Held = FHeld.load();
  if (FServer != nullptr && Held > 0) FServer->Give(Held);
}

void TConnectionMemory::Charge(std::int64_t Bytes, std::string_view What) {
  if (Bytes <= 0) return;
  if (FCap > 0 && FHeld.load() + Bytes > FCap) {
    throw TDBXError(TDBXErrorCodes::LimitExceeded,
                    std::string(What) + " refused: the connection would hold more than " + MemoryMiB(FCap) +
                        " in requests and unsent replies");
  }
  if (FServer != nullptr && !FServer->Take(Bytes, FClientGone)) {
    if (FClientGone && FClientGone()) {
      throw TDBXError(TDBXErrorCodes::LimitExceeded, std::string(What) + " refused: the client has gone");
    }
    FServer->ReportRefusal(FClient);
    throw TDBXError(TDBXErrorCodes::LimitExceeded,
                    std::string(What) + " refused: the server holds all the memory it allows for its clients (" +
                        MemoryMiB(FServer->Limit()) + "); try again later");
  }
  FHeld += Bytes;
}

void TConnectionMemory::Release(std::int64_t Bytes) noexcept {
  if (Bytes <= 0) return;
  FHeld -= Bytes;
  if (FServer != nullptr) FServer->Give(Bytes);
}

const std::shared_ptr<TConnectionMemory>& TConnectionMemory::Current() noexcept { return CurrentConnectionMemory(); }

void TConnectionMemory::SetCurrent(std::shared_ptr<TConnectionMemory> Memory) noexcept {
  CurrentConnectionMemory() = std::move(Memory);
}

// --- One buffer's charge -----------------------------------------------------------------

TClientMemoryHold::TClientMemoryHold(TClientMemoryHold&& Other) noexcept
    : FOwner(std::exchange(Other.FOwner, nullptr)), FBytes(std::exchange(Other.FBytes, 0)) {}

TClientMemoryHold& TClientMemoryHold::operator=(TClientMemoryHold&& Other) noexcept {
  if (this != &Other) {
    Reset();
    FOwner = std::exchange(Other.FOwner, nullptr);
    FBytes = std::exchange(Other.FBytes, 0);
  }
  return *this;
}

void TClientMemoryHold::Set(std::int64_t Total, std::string_view What) {
  if (FOwner == nullptr) {
    FOwner = TConnectionMemory::Current();
    if (FOwner == nullptr) return;  // off a connection: nothing to count
  }
  if (Total > FBytes) {
    FOwner->Charge(Total - FBytes, What);
  } else {
    FOwner->Release(FBytes - Total);
  }
  FBytes = Total;
}

void TClientMemoryHold::Reset() noexcept {
  if (FOwner != nullptr) FOwner->Release(FBytes);
  FBytes = 0;
  FOwner.reset();
}

}  // namespace tavrin
