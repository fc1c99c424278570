#include "server/tcp/session_manager_events.h"

#include <memory>
#include <utility>

#include "server/sessions/session_manager.h"

namespace tavrin {

std::uint64_t TDSSessionManagerEvents::Subscribe(TSessionClosed Listener) {
  return TDSSessionManager::Instance().AddSessionEvent(
      [Listener = std::move(Listener)](TDSSessionEventType Type, const std::shared_ptr<TDSSession>& Session) {
        if (Type == TDSSessionEventType::Closed && Session) Listener(Session->SessionName());
      });
}

void TDSSessionManagerEvents::Unsubscribe(std::uint64_t Subscription) {
  TDSSessionManager::Instance().RemoveSessionEvent(Subscription);
}

std::string TDSSessionManagerEvents::ThreadSessionName() const {
  const auto Session = TDSSessionManager::GetThreadSession();
  return Session ? Session->SessionName() : std::string();
}

}  // namespace tavrin
