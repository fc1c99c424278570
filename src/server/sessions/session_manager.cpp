#include "server/sessions/session_manager.h"

#include <utility>

#include "vocabulary/dbx_error.h"
#include "vocabulary/thread_own.h"

namespace tavrin {

namespace {
// Each of the three numbers of a session id is below this.
constexpr int kSessionIdNumberLimit = 1'000'000;

// The session the current thread serves. A share, so that a session closed on another
// thread is still a valid (Closed) object here until the thread lets go of it.
struct TThreadSessionTag {};
std::shared_ptr<TDSSession>& ThreadSession() { return ThisThreadOwn<std::shared_ptr<TDSSession>, TThreadSessionTag>(); }
}  // namespace

TDSSessionManager& TDSSessionManager::Instance() {
  static TDSSessionManager Manager;
  return Manager;
}

TDSSessionManager::TDSSessionManager() : FRandom(std::random_device{}()) {}

TDSSessionManager::~TDSSessionManager() = default;

std::string TDSSessionManager::NewSessionId() {
  std::uniform_int_distribution<int> Number(0, kSessionIdNumberLimit - 1);
  for (;;) {
    std::string Id = std::to_string(Number(FRandom));
    Id += '.';
    Id += std::to_string(Number(FRandom));
    Id += '.';
    Id += std::to_string(Number(FRandom));
    if (!FSessionContainer.contains(Id)) return Id;
  }
}

std::shared_ptr<TDSSession> TDSSessionManager::CreateSession(const TDSSessionFactory& Factory,
                                                             const std::string& UserName,
                                                             TDSSessionLifetime Lifetime) {
  // The factory runs outside the lock: it is outside code and may itself use the manager.
  std::shared_ptr<TDSSession> Session = Factory();
  if (!Session) throw TDBXError(TDBXErrorCodes::Unspecified, "The session factory made no session");
  Session->FSessionLifetime = Lifetime;
  if (Lifetime == TDSSessionLifetime::TimeOut) {
    std::lock_guard Lock(FLock);
    Session->FSessionName = NewSessionId();
    FSessionContainer.emplace(Session->FSessionName, Session);
  }
  Session->SetUserName(UserName);
  Notify(TDSSessionEventType::Created, Session);
  return Session;
}

std::shared_ptr<TDSSession> TDSSessionManager::GetSession(const std::string& SessionId) const {
  std::lock_guard Lock(FLock);
  const auto It = FSessionContainer.find(SessionId);
  return It != FSessionContainer.end() ? It->second : nullptr;
}

std::shared_ptr<TDSSession> TDSSessionManager::RemoveSession(const std::string& SessionId) {
  std::lock_guard Lock(FLock);
  const auto Node = FSessionContainer.extract(SessionId);
  return Node.empty() ? nullptr : std::move(Node.mapped());
}

bool TDSSessionManager::CloseSession(const std::string& SessionId) {
  // Whoever takes the session out of the registry closes it, so a session that two
  // threads close at once is closed and announced once.
  const std::shared_ptr<TDSSession> Session = RemoveSession(SessionId);
  if (!Session) return false;
  Notify(TDSSessionEventType::Closed, Session);
  Session->Close();
  FreeSession(*Session);
  return true;
}

bool TDSSessionManager::TerminateSession(const std::string& SessionId) {
  const std::shared_ptr<TDSSession> Session = RemoveSession(SessionId);
  if (!Session) return false;
  Session->Terminate();
  Notify(TDSSessionEventType::Closed, Session);
  FreeSession(*Session);
  return true;
}

void TDSSessionManager::FreeSession(TDSSession& Session) noexcept {
  Session.FreeData();
  if (ThreadSession().get() == &Session) ThreadSession().reset();
}

std::vector<std::string> TDSSessionManager::GetOpenSessionKeys() const {
  std::lock_guard Lock(FLock);
  std::vector<std::string> Keys;
  Keys.reserve(FSessionContainer.size());
  for (const auto& Entry : FSessionContainer) Keys.push_back(Entry.first);
  return Keys;
}

std::size_t TDSSessionManager::GetSessionCount() const {
  std::lock_guard Lock(FLock);
  return FSessionContainer.size();
}

void TDSSessionManager::ForEachSession(const std::function<void(const std::shared_ptr<TDSSession>&)>& Visit) const {
  std::vector<std::shared_ptr<TDSSession>> Sessions;
  {
    std::lock_guard Lock(FLock);
    Sessions.reserve(FSessionContainer.size());
    for (const auto& Entry : FSessionContainer) Sessions.push_back(Entry.second);
  }
  for (const auto& Session : Sessions) Visit(Session);
}

TDSSessionListenerId TDSSessionManager::AddSessionEvent(TDSSessionEvent Listener) {
  std::lock_guard Lock(FListenersLock);
  const TDSSessionListenerId Id = FNextListenerId++;
  FListeners.push_back(std::make_shared<TListener>(Id, std::move(Listener)));
  return Id;
}

bool TDSSessionManager::RemoveSessionEvent(TDSSessionListenerId Id) {
  std::lock_guard Lock(FListenersLock);
  for (auto It = FListeners.begin(); It != FListeners.end(); ++It) {
    if ((*It)->FId == Id) {
      (*It)->FRegistered.store(false);
      FListeners.erase(It);
      return true;
    }
  }
  return false;
}

void TDSSessionManager::Notify(TDSSessionEventType Event, const std::shared_ptr<TDSSession>& Session) {
  // The copy shares each listener, so one removed (and dropped by the list) during the
  // calls stays alive until its call has returned.
  std::vector<std::shared_ptr<TListener>> Listeners;
  {
    std::lock_guard Lock(FListenersLock);
    Listeners = FListeners;
  }
  for (auto It = Listeners.rbegin(); It != Listeners.rend(); ++It) {
    if (!(*It)->FRegistered.load()) continue;
    try {
      (*It)->FEvent(Event, Session);
    } catch (...) {
      // Swallowed on purpose: one listener's failure must neither stop the others from
      // hearing of the event nor undo the creation or closing that is already done.
    }
  }
}

std::shared_ptr<TDSSession> TDSSessionManager::GetThreadSession() { return ThreadSession(); }

void TDSSessionManager::SetAsThreadSession(std::shared_ptr<TDSSession> Session) {
  ThreadSession() = std::move(Session);
}

void TDSSessionManager::ClearThreadSession() { ThreadSession().reset(); }

}  // namespace tavrin
