#pragma once
// The process-wide registry of open sessions, the listeners told when one is created or
// closed, and the current thread's session.
//
// Listeners are always called with no lock of the manager held, so a listener may call
// back into the manager (close another session, look one up, add or remove listeners,
// even remove itself) from inside its call without deadlocking.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/sessions/session.h"

namespace tavrin {

// Values are what listeners receive and stay as numbered.
enum class TDSSessionEventType : std::int32_t {
  Created = 0,
  Closed = 1,  // closed or terminated
};

// A listener may be called from any thread, from several at once.
using TDSSessionEvent = std::function<void(TDSSessionEventType, const std::shared_ptr<TDSSession>&)>;
using TDSSessionListenerId = std::uint64_t;
// Makes the session object for CreateSession; must not return null.
using TDSSessionFactory = std::function<std::shared_ptr<TDSSession>()>;

class TDSSessionManager {
 public:
  // The manager of the process, created on first use and freed at program end.
  static TDSSessionManager& Instance();

  // Separate managers exist only for tests; the server uses Instance().
  TDSSessionManager();
  TDSSessionManager(const TDSSessionManager&) = delete;
  TDSSessionManager& operator=(const TDSSessionManager&) = delete;
  // Drops the sessions still open without telling anyone: at program end the listeners
  // may already be gone.
  ~TDSSessionManager();

  // Creates a session with Factory, names and registers it (TimeOut lifetime), sets its
  // user name and tells the listeners (Created). A Request session gets no name and is
  // not registered. Raises TDBXError when Factory returns null; what Factory raises
  // passes through. The caller shares the returned session with the manager.
  std::shared_ptr<TDSSession> CreateSession(const TDSSessionFactory& Factory, const std::string& UserName,
                                            TDSSessionLifetime Lifetime = TDSSessionLifetime::TimeOut);

  // The open session with this id, or null.
  std::shared_ptr<TDSSession> GetSession(const std::string& SessionId) const;
  // Unregisters the session and hands it over untouched (no status change, no event),
  // or null when there is none.
  std::shared_ptr<TDSSession> RemoveSession(const std::string& SessionId);
  // Unregisters the session, tells the listeners (Closed), marks it Closed and frees its
  // data. False when no open session has the id (for example one already closed).
  bool CloseSession(const std::string& SessionId);
  // As CloseSession, but the session is marked Closed before the listeners are told.
  bool TerminateSession(const std::string& SessionId);

  // Snapshots: sessions created or closed meanwhile may or may not appear.
  std::vector<std::string> GetOpenSessionKeys() const;
  std::size_t GetSessionCount() const;
  // Calls Visit for each session open when the call began, with no lock held, so Visit
  // may close sessions.
  void ForEachSession(const std::function<void(const std::shared_ptr<TDSSession>&)>& Visit) const;

  // Registers a listener; the id removes it again. Listeners are called last registered
  // first; what a listener raises is swallowed. A close already under way when the
  // listener is added is not told to it: a listener that waits for one session's end
  // checks with GetSession, after adding itself, that the session is still open.
  TDSSessionListenerId AddSessionEvent(TDSSessionEvent Listener);
  // Unregisters a listener: it is not called for any event whose notification reaches it
  // afterwards, even one already under way. A call that has already begun on another
  // thread may still be running when this returns; the manager keeps the listener's
  // callable alive until it returns, so whatever the callable needs must be owned by it
  // (a shared_ptr or a weak_ptr capture), not borrowed through a raw pointer. False when
  // the id is not registered.
  bool RemoveSessionEvent(TDSSessionListenerId Id);

  // The session the calling thread is serving (null when none). The slot holds a share
  // of the session, so it stays a valid object while set.
  static std::shared_ptr<TDSSession> GetThreadSession();
  static void SetAsThreadSession(std::shared_ptr<TDSSession> Session);
  static void ClearThreadSession();

 private:
  struct TListener {
    TListener(TDSSessionListenerId Id, TDSSessionEvent Event) : FId(Id), FEvent(std::move(Event)) {}
    const TDSSessionListenerId FId;
    const TDSSessionEvent FEvent;
    std::atomic<bool> FRegistered{true};
  };

  std::string NewSessionId();  // caller holds FLock
  void Notify(TDSSessionEventType Event, const std::shared_ptr<TDSSession>& Session);
  // Last step of closing: frees the data and clears the calling thread's slot if it
  // holds the session.
  static void FreeSession(TDSSession& Session) noexcept;

  // Never held together with FListenersLock, and never held while a listener or a
  // session factory runs.
  mutable std::mutex FLock;  // guards FSessionContainer and FRandom
  std::unordered_map<std::string, std::shared_ptr<TDSSession>> FSessionContainer;
  std::mt19937 FRandom;

  mutable std::mutex FListenersLock;  // guards FListeners and FNextListenerId
  std::vector<std::shared_ptr<TListener>> FListeners;  // in registration order
  TDSSessionListenerId FNextListenerId = 1;
};

}  // namespace tavrin
