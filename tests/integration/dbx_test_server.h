#pragma once
// A real server on a loopback ephemeral port, wired as the product wires it: the TCP
// transport, per connection the whole handler chain with the server connection link
// over the test methods (Echo, Fail, Rows, Long) or over a method registry the test
// hands in, a TCP session binder, and the session manager of the process as the
// transport's source of session-close events.

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "dbxstream/dbx_context.h"
#include "dbxstream/server_handler_chain.h"
#include "dsserver/ds_server_connection_handler.h"
#include "dsserver/ds_server_events.h"
#include "dsserver/ds_session_manager.h"
#include "dsserver/ds_tcp_session_binder.h"
#include "dsserver/server_connection_fixture.h"
#include "transport/connection_chain.h"
#include "transport/session_events.h"
#include "transport/tcp_server_transport.h"

namespace tavrin::testing {

// The transport's view of the session manager: session names on close, and the
// calling thread's session.
class TManagerSessionEvents : public TDSSessionEvents {
 public:
  std::uint64_t Subscribe(TSessionClosed Listener) override {
    return TDSSessionManager::Instance().AddSessionEvent(
        [Listener = std::move(Listener)](TDSSessionEventType Type, const std::shared_ptr<TDSSession>& Session) {
          if (Type == TDSSessionEventType::Closed && Session) {
            Listener(Session->SessionName());
          }
        });
  }
  void Unsubscribe(std::uint64_t Subscription) override {
    TDSSessionManager::Instance().RemoveSessionEvent(Subscription);
  }
  std::string ThreadSessionName() const override {
    const auto Session = TDSSessionManager::GetThreadSession();
    return Session ? Session->SessionName() : std::string();
  }
};

// One connection's request loop together with the context it raises through, which
// must outlive it.
class TOwnedServerChain : public TDBXProtocolHandler {
 public:
  TOwnedServerChain(const TDSTCPConnectionInfo& Info, const TDSServerEvents& Events,
                    IDSServerMethodProvider& Methods) {
    const std::int32_t BufferKB = Info.BufferSize / tcp::kBytesPerKB;
    FHandler = BuildServerHandlerChain(
        Info.Channel, FContext, BufferKB, MakeServerConnectionLink(Events, Methods, Info.UnregisterConnection),
        std::make_unique<TDSTCPSessionBinder>(Info.Channel.ChannelInfo().ClientInfo.IpAddress));
  }

  bool HandleProtocol() override { return FHandler->HandleProtocol(); }
  bool HandleNonBlockingProtocol() override { return FHandler->HandleNonBlockingProtocol(); }
  void SetUp(TDSCustomAuthenticationManager* Manager) override { FHandler->SetUp(Manager); }

 private:
  TDBXContext FContext;
  std::unique_ptr<TDBXJSonServerProtocolHandler> FHandler;
};

class TDbxTestServer {
 public:
  // Started on an ephemeral loopback port; raises what Start raises.
  TDbxTestServer() : TDbxTestServer(nullptr) {}
  // The same, every connection calling Methods (which must outlive the server).
  explicit TDbxTestServer(IDSServerMethodProvider& Methods) : TDbxTestServer(&Methods) {}
  ~TDbxTestServer() { FTransport.Stop(); }

  TDbxTestServer(const TDbxTestServer&) = delete;
  TDbxTestServer& operator=(const TDbxTestServer&) = delete;

  std::uint16_t Port() const { return FTransport.BoundPort(); }
  TDSTCPServerTransport& Transport() { return FTransport; }

 private:
  explicit TDbxTestServer(IDSServerMethodProvider* SharedMethods)
      : FSharedMethods(SharedMethods),
        FTransport([this](const TDSTCPConnectionInfo& Info) { return Build(Info); }) {
    FTransport.SetPort(0);
    FTransport.SetSessionEvents(&FSessionEvents);
    FTransport.Start();
  }

  TDSTCPConnectionChain Build(const TDSTCPConnectionInfo& Info) {
    IDSServerMethodProvider* Methods = FSharedMethods;
    if (Methods == nullptr) {
      std::lock_guard Guard(FMethodsLock);
      Methods = &FMethods.emplace_back();
    }
    TDSTCPConnectionChain Chain;
    Chain.Handler = std::make_unique<TOwnedServerChain>(Info, FEvents, *Methods);
    Chain.AfterBatch = [] { TDSSessionManager::ClearThreadSession(); };
    return Chain;
  }

  TManagerSessionEvents FSessionEvents;
  TDSServerEvents FEvents;
  // One method provider per connection: the test methods count their calls without a
  // lock, so connections must not share one. Kept until the server is gone.
  std::mutex FMethodsLock;  // guards FMethods
  std::list<TTestMethods> FMethods;
  // The registry every connection uses, when the test gave one; read-only once started.
  IDSServerMethodProvider* FSharedMethods = nullptr;
  TDSTCPServerTransport FTransport;  // last: stopped and destroyed before what it uses
};

}  // namespace tavrin::testing
