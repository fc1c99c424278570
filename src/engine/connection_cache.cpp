#include "engine/connection_cache.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <utility>

#include "engine/database_connection.h"
#include "platform/thread_resources.h"
#include "vocabulary/thread_own.h"

namespace tavrin {
namespace {

std::atomic<std::uint64_t> NextCacheId{1};

}  // namespace

// What one thread keeps of one cache. The owning thread and the closer meet here.
struct TConnectionCache::TSlot {
  std::mutex Lock;  // guards Connection and LastUsed
  std::shared_ptr<TDatabaseConnection> Connection;
  std::chrono::steady_clock::time_point LastUsed;
  std::atomic<bool> Dead{false};   // the cache went; the thread's list may drop the slot
  bool ReleaseRegistered = false;  // touched by the owning thread only

  // The kept connection, no longer kept: it closes when the caller and every query
  // using it let it go, outside the slot's lock.
  std::shared_ptr<TDatabaseConnection> Take() {
    std::lock_guard Guard(Lock);
    return std::move(Connection);
  }
};

TConnectionCache::TConnectionCache() : FId(NextCacheId.fetch_add(1)) {}

TConnectionCache::~TConnectionCache() {
  {
    std::lock_guard Guard(FLock);
    FStopping = true;
    FWake.notify_all();
  }
  if (FCloser.joinable()) FCloser.join();
  ReleaseAll();
  std::lock_guard Guard(FLock);
  for (const auto& Weak : FSlots) {
    if (const auto Slot = Weak.lock()) Slot->Dead = true;
  }
}

std::shared_ptr<TConnectionCache::TSlot>& TConnectionCache::ThisThreadSlot() {
  // The calling thread's slots, one per cache it used; they go when the thread ends,
  // and with them the connections they keep.
  using TThreadSlots = std::vector<std::pair<std::uint64_t, std::shared_ptr<TSlot>>>;
  // Under Windows the list stays after its thread; its connections still close at the
  // thread's release, after their idle lifetime and with their session.
  TThreadSlots& Slots = ThisThreadOwn<TThreadSlots>();
  for (auto& [Id, Slot] : Slots) {
    if (Id == FId) return Slot;
  }
  std::erase_if(Slots, [](const auto& Entry) { return Entry.second->Dead.load(); });
  auto Slot = std::make_shared<TSlot>();
  {
    std::lock_guard Guard(FLock);
    std::erase_if(FSlots, [](const std::weak_ptr<TSlot>& Weak) { return Weak.expired(); });
    FSlots.push_back(Slot);
  }
  return Slots.emplace_back(FId, std::move(Slot)).second;
}

std::shared_ptr<TDatabaseConnection> TConnectionCache::Acquire(const std::string& File,
                                                               const platform::TFileIdentity& Identity) {
  std::shared_ptr<TSlot>& Slot = ThisThreadSlot();
  std::shared_ptr<TDatabaseConnection> Stale;  // declared first: closes after the lock is left
  std::shared_ptr<TDatabaseConnection> Connection;
  bool Opened = false;
  {
    std::lock_guard Guard(Slot->Lock);
    std::shared_ptr<TDatabaseConnection>& Kept = Slot->Connection;
    if (Kept && (Kept->File() != File || !(Kept->Identity() == Identity) || Kept->Broken())) Stale = std::move(Kept);
    if (!Kept) {
      Kept = std::make_shared<TDatabaseConnection>(File, Identity);
      Opened = true;
    }
    Slot->LastUsed = std::chrono::steady_clock::now();
    Connection = Kept;
  }
  if (Opened) {
    if (!Slot->ReleaseRegistered) {
      Slot->ReleaseRegistered = true;
      platform::OnThreadRelease([Weak = std::weak_ptr<TSlot>(Slot)] {
        if (const auto Owner = Weak.lock()) {
          Owner->ReleaseRegistered = false;
          const auto Gone = Owner->Take();
        }
      });
    }
    StartCloser();
  }
  return Connection;
}

void TConnectionCache::ReleaseAll() {
  std::vector<std::shared_ptr<TSlot>> Slots;
  {
    std::lock_guard Guard(FLock);
    for (const auto& Weak : FSlots) {
      if (auto Slot = Weak.lock()) Slots.push_back(std::move(Slot));
    }
  }
  std::vector<std::shared_ptr<TDatabaseConnection>> Gone;
  for (const auto& Slot : Slots) Gone.push_back(Slot->Take());
}

std::size_t TConnectionCache::KeptCount() const {
  std::lock_guard Guard(FLock);
  std::size_t Count = 0;
  for (const auto& Weak : FSlots) {
    if (const auto Slot = Weak.lock()) {
      std::lock_guard SlotGuard(Slot->Lock);
      if (Slot->Connection) ++Count;
    }
  }
  return Count;
}

void TConnectionCache::SetIdleLifetime(std::chrono::milliseconds Lifetime) {
  std::lock_guard Guard(FLock);
  FIdleLifetime = Lifetime;
  FWake.notify_all();
}

void TConnectionCache::StartCloser() {
  std::lock_guard Guard(FLock);
  ++FOpenings;
  if (FCloserRunning || FStopping) return;
  // One that ended by itself has left the lock for good; joining it here is quick.
  if (FCloser.joinable()) FCloser.join();
  try {
    FCloser = std::thread(&TConnectionCache::CloserLoop, this);
    FCloserRunning = true;
  } catch (const std::system_error&) {
    // Safe to go on: without the closer, connections still go when their threads park
    // or end and at the server's stop; only the idle lifetime is not kept.
  }
}

void TConnectionCache::CloserLoop() {
  std::unique_lock Guard(FLock);
  while (!FStopping) {
    const std::chrono::milliseconds Lifetime = FIdleLifetime;
    const std::uint64_t Openings = FOpenings;
    std::vector<std::shared_ptr<TSlot>> Slots;
    for (const auto& Weak : FSlots) {
      if (auto Slot = Weak.lock()) Slots.push_back(std::move(Slot));
    }
    Guard.unlock();

    const auto Now = std::chrono::steady_clock::now();
    auto NextLook = Now + Lifetime;
    std::size_t Kept = 0;
    std::vector<std::shared_ptr<TDatabaseConnection>> Idle;
    for (const auto& Slot : Slots) {
      std::unique_lock SlotGuard(Slot->Lock, std::try_to_lock);
      if (!SlotGuard) {
        ++Kept;  // its thread is taking it right now: look again later
        continue;
      }
      if (!Slot->Connection) continue;
      const auto Deadline = Slot->LastUsed + Lifetime;
      if (Deadline <= Now) {
        Idle.push_back(std::move(Slot->Connection));
      } else {
        ++Kept;
        NextLook = std::min(NextLook, Deadline);
      }
    }
    Idle.clear();  // closes them here, outside every lock, unless a query still uses one
    Slots.clear();

    Guard.lock();
    if (Kept == 0) {
      if (Openings == FOpenings) break;  // nothing kept and nothing opened meanwhile
      continue;
    }
    FWake.wait_until(Guard, NextLook, [&] { return FStopping || FIdleLifetime != Lifetime; });
  }
  FCloserRunning = false;
}

}  // namespace tavrin
