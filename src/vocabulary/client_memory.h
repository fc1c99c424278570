#pragma once
// Memory the server holds on behalf of its clients, counted so that no client (nor all
// of them together) can make the server hold more than it allows.
//
// TServerMemoryBudget is the whole server's allowance; TConnectionMemory is one
// connection's share of it, with a cap of its own; TClientMemoryHold is one buffer's
// charge (a request being read, a reply not yet sent), given back when the buffer
// shrinks or goes. A connection's thread makes its TConnectionMemory current while it
// serves requests, so the buffers charge it without being told which one it is; off a
// connection (a client program, a test of the codecs) nothing is counted.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// Threading: every operation may be called from any thread.
class TServerMemoryBudget {
 public:
  // Limit in bytes; 0 = no bound. Wait: how long a charge waits for room.
  TServerMemoryBudget(std::int64_t Limit, std::chrono::milliseconds Wait) noexcept;

  // Takes Bytes when they fit, waiting up to the wait for other clients to give room
  // back. False when they did not fit in time, or when ClientGone (if given) said true
  // while waiting, looked at every tenth of a second; nothing is taken then.
  bool Take(std::int64_t Bytes, const std::function<bool()>& ClientGone = {});
  void Give(std::int64_t Bytes) noexcept;
  std::int64_t Held() const;
  // Set before the budget is shared.
  void SetLimit(std::int64_t Limit, std::chrono::milliseconds Wait) noexcept;
  std::int64_t Limit() const noexcept { return FLimit; }

  // Told the client (its address) of a charge refused because the budget had no room
  // within the wait, at most once per second so that a flood does not flood the log.
  // Set before the budget is shared; called on the refused connection's thread; must
  // not raise.
  void SetOnRefusal(std::function<void(const std::string& Client)> OnRefusal) { FOnRefusal = std::move(OnRefusal); }
  void ReportRefusal(const std::string& Client);

 private:
  mutable std::mutex FMutex;  // guards FHeld and the last refusal report
  std::condition_variable FRoom;
  std::int64_t FHeld = 0;
  std::int64_t FLimit;
  std::chrono::milliseconds FWait;
  std::function<void(const std::string&)> FOnRefusal;
  std::optional<std::chrono::steady_clock::time_point> FLastRefusalReport;
};

// Shared: the connection's chain and every buffer charged to it hold it, so a buffer
// that outlives the connection still gives its bytes back safely.
// Threading: charged on its connection's thread; given back from any thread.
class TConnectionMemory {
 public:
  // Server may be null (no server-wide budget). Cap in bytes; 0 = no cap. Server must
  // outlive this.
  TConnectionMemory(TServerMemoryBudget* Server, std::int64_t Cap) noexcept;
  // Gives back to the server whatever is still held.
  ~TConnectionMemory();
  TConnectionMemory(const TConnectionMemory&) = delete;
  TConnectionMemory& operator=(const TConnectionMemory&) = delete;

  // Counts Bytes more as held. Raises TDBXError (code LimitExceeded) naming What when the
  // connection's cap would be passed, or when the server's budget had no room within its
  // wait; nothing is counted then.
  void Charge(std::int64_t Bytes, std::string_view What);
  void Release(std::int64_t Bytes) noexcept;
  std::int64_t Held() const noexcept { return FHeld.load(); }

  // How a charge waiting for room in the server's budget learns that the client has gone,
  // so that it stops waiting (empty: it waits the whole wait). Called on the charging
  // thread; whatever it looks at must outlive it, so it is set back to empty before that
  // goes.
  void SetClientGone(std::function<bool()> ClientGone) { FClientGone = std::move(ClientGone); }
  // Who the connection serves (its address), for the server's refusal report.
  void SetClient(std::string Client) { FClient = std::move(Client); }

  // The connection the calling thread serves now; null when none.
  static const std::shared_ptr<TConnectionMemory>& Current() noexcept;
  // Makes Memory (null: none) the calling thread's current connection.
  static void SetCurrent(std::shared_ptr<TConnectionMemory> Memory) noexcept;

 private:
  TServerMemoryBudget* FServer;
  const std::int64_t FCap;
  std::function<bool()> FClientGone;
  std::string FClient;
  std::atomic<std::int64_t> FHeld{0};
};

// One buffer's charge against the connection current when it first grew. Move-only; the
// connection must outlive it (buffers of a connection's chain do).
//
// Threading: as the buffer it counts.
class TClientMemoryHold {
 public:
  TClientMemoryHold() = default;
  ~TClientMemoryHold() { Reset(); }
  TClientMemoryHold(TClientMemoryHold&& Other) noexcept;
  TClientMemoryHold& operator=(TClientMemoryHold&& Other) noexcept;

  // Makes the charge Total bytes: more is charged (which may raise as
  // TConnectionMemory::Charge does, the charge unchanged then), less is given back.
  void Set(std::int64_t Total, std::string_view What);
  // Gives everything back.
  void Reset() noexcept;
  std::int64_t Bytes() const noexcept { return FBytes; }

 private:
  std::shared_ptr<TConnectionMemory> FOwner;
  std::int64_t FBytes = 0;
};

}  // namespace tavrin
