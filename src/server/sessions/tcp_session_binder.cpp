#include "server/sessions/tcp_session_binder.h"

#include "server/sessions/tcp_session.h"

namespace tavrin {

TDSTCPSessionBinder::TDSTCPSessionBinder(std::string RemoteIP, TDSSessionManager& Manager)
    : FRemoteIP(std::move(RemoteIP)), FManager(Manager) {}

TDSTCPSessionBinder::~TDSTCPSessionBinder() {
  if (FListening) FManager.RemoveSessionEvent(FListener);
}

bool TDSTCPSessionBinder::HasSession() const {
  return FSession != nullptr && !FWatch->Closed.load();
}

void TDSTCPSessionBinder::CreateSession(TDSCustomAuthenticationManager* AuthenticationManager) {
  // The listener holds only the watch, never the binder, which may be gone by the time
  // a late notification runs.
  if (!FListening) {
    FListener = FManager.AddSessionEvent(
        [Watch = FWatch](TDSSessionEventType Event, const std::shared_ptr<TDSSession>& Session) {
          if (Event == TDSSessionEventType::Closed && Session &&
              Session.get() == Watch->Session.load()) {
            Watch->Closed.store(true);
          }
        });
    FListening = true;
  }
  auto Session = FManager.CreateSession(
      [AuthenticationManager] { return std::make_shared<TDSTCPSession>(AuthenticationManager); },
      std::string(), TDSSessionLifetime::TimeOut);
  Session->PutData(kProtocolKey, kProtocolTcp);
  Session->PutData(kRemoteIPKey, FRemoteIP);
  FWatch->Closed.store(false);
  FWatch->Session.store(Session.get());
  // A close between the creation and the line above was not recognised by the
  // listener; the registry still tells.
  if (!FManager.GetSession(Session->SessionName())) FWatch->Closed.store(true);
  FSession = std::move(Session);
}

void TDSTCPSessionBinder::MakeCurrentForThread() {
  if (HasSession()) TDSSessionManager::SetAsThreadSession(FSession);
}

void TDSTCPSessionBinder::CloseSession() {
  if (!FSession) return;
  if (!FWatch->Closed.exchange(true)) FManager.CloseSession(FSession->SessionName());
  if (TDSSessionManager::GetThreadSession() == FSession) TDSSessionManager::ClearThreadSession();
  FSession.reset();
}

}  // namespace tavrin
