#pragma once
// The remote session of one TCP connection, as the request loop binds it: created on the
// connection's first batch of requests, made the thread's session before each batch,
// forgotten when it is closed elsewhere, closed when the connection goes.

#include <atomic>
#include <memory>
#include <string>

#include "server/sessions/session_binder.h"
#include "server/sessions/session.h"
#include "server/sessions/session_manager.h"

namespace tavrin {

class TDSTCPSessionBinder : public IDBXSessionBinder {
 public:
  // Session data keys every TCP session carries.
  static constexpr char kProtocolKey[] = "CommunicationProtocol";
  static constexpr char kRemoteIPKey[] = "RemoteIP";
  static constexpr char kProtocolTcp[] = "tcp/ip";

  // RemoteIP: the client's address as text. Manager must outlive the binder.
  explicit TDSTCPSessionBinder(std::string RemoteIP,
                               TDSSessionManager& Manager = TDSSessionManager::Instance());
  ~TDSTCPSessionBinder() override;

  TDSTCPSessionBinder(const TDSTCPSessionBinder&) = delete;
  TDSTCPSessionBinder& operator=(const TDSTCPSessionBinder&) = delete;

  bool HasSession() const override;
  void CreateSession(TDSCustomAuthenticationManager* AuthenticationManager) override;
  void MakeCurrentForThread() override;
  void CloseSession() override;

  // The held session (null before CreateSession); the connection's thread only.
  const std::shared_ptr<TDSSession>& Session() const { return FSession; }

 private:
  std::string FRemoteIP;
  TDSSessionManager& FManager;
  std::shared_ptr<TDSSession> FSession;
  // Shared with the manager's listener, which runs on whatever thread closes the
  // session and may outlive the binder: the session watched, and whether it was closed.
  struct TWatch {
    std::atomic<const TDSSession*> Session{nullptr};
    std::atomic<bool> Closed{false};
  };
  std::shared_ptr<TWatch> FWatch = std::make_shared<TWatch>();
  TDSSessionListenerId FListener = 0;
  bool FListening = false;
};

}  // namespace tavrin
