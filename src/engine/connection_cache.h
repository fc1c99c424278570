#pragma once
// The connections a session keeps: one per thread that runs statements, opened at its
// first statement and kept for the next ones. A kept connection goes
//   - when its thread parks in a pool or ends (platform/thread_resources.h),
//   - after kIdleLifetime without a statement (a closer thread of the cache's own,
//     running only while some connection is kept, looks for those),
//   - when the thread's next statement is for another file, for a file replaced on
//     disk, or follows an I/O or corruption fault (a fresh one is opened then),
//   - at ReleaseAll (a server's stop) and when the cache goes.
// So an idle server holds no handle on the database file, which on Windows could then
// be neither replaced nor restored. A connection still used by an open query closes
// when that query lets it go.
//
// Threading: every member may be called from any thread; Acquire acts for the calling
// thread. Lock order: the cache's lock, then a thread's slot lock; a
// connection's use lock is never taken under either.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_identity.h"

namespace tavrin {

class TDatabaseConnection;

namespace TConnectionLimits {
// How long a kept connection may go without a statement before it is closed.
inline constexpr std::chrono::milliseconds kIdleLifetime{30'000};
}  // namespace TConnectionLimits

class TConnectionCache {
 public:
  TConnectionCache();
  // Stops the closer thread and gives up every kept connection.
  ~TConnectionCache();
  TConnectionCache(const TConnectionCache&) = delete;
  TConnectionCache& operator=(const TConnectionCache&) = delete;

  // The calling thread's connection to File, whose Identity was looked at just now:
  // the kept one, or a new one when none is kept or the kept one is to another file, to
  // a file since replaced, or broken. The caller shares it while it runs its statement.
  // Raises EDatabaseError "Cannot open database file ..." when it cannot be opened.
  std::shared_ptr<TDatabaseConnection> Acquire(const std::string& File, const platform::TFileIdentity& Identity);

  // Gives up every kept connection, of every thread.
  void ReleaseAll();

  // Connections kept now (tests).
  std::size_t KeptCount() const;
  // Changes the idle lifetime (tests); the closer looks again at once.
  void SetIdleLifetime(std::chrono::milliseconds Lifetime);

 private:
  struct TSlot;
  std::shared_ptr<TSlot>& ThisThreadSlot();
  void StartCloser();
  void CloserLoop();

  const std::uint64_t FId;  // tells this cache's slots apart in a thread's list

  mutable std::mutex FLock;  // guards every member below
  std::vector<std::weak_ptr<TSlot>> FSlots;
  std::chrono::milliseconds FIdleLifetime = TConnectionLimits::kIdleLifetime;
  std::condition_variable FWake;  // the closer: stop, lifetime changed, or a connection opened
  std::thread FCloser;
  bool FCloserRunning = false;
  bool FStopping = false;
  std::uint64_t FOpenings = 0;  // connections opened; the closer ends only when none came in
};

}  // namespace tavrin
