#pragma once
// TDBXJSonServerProtocolHandler: what the transport holds for one connection. It owns
// the handler chain (through its first link, the input handler) and the connection's
// session binding, and runs the request loop when the transport asks.
//
// Threading: the connection's thread only.

#include <memory>

#include "server/requests/json_server_input_handler.h"
#include "dbxstream/protocol_handler.h"
#include "server/sessions/session_binder.h"

namespace tavrin {

class TDBXJSonServerProtocolHandler : public TDBXProtocolHandler {
 public:
  // ConnectionHandler must not be null; Session may be null (no sessions: tools, tests).
  TDBXJSonServerProtocolHandler(std::unique_ptr<TDBXJSonServerInputConnectionHandler> ConnectionHandler,
                                std::unique_ptr<IDBXSessionBinder> Session);
  // Frees the chain (and with it the codecs), then closes the session. Errors while
  // closing the session are not raised: the connection is going anyway.
  ~TDBXJSonServerProtocolHandler() override;

  bool HandleProtocol() override;
  bool HandleNonBlockingProtocol() override;
  // Creates the session on the first call, then makes it the thread's session.
  void SetUp(TDSCustomAuthenticationManager* AuthenticationManager) override;

  TDBXJSonServerInputConnectionHandler& ConnectionHandler() { return *FConnectionHandler; }

 private:
  std::unique_ptr<IDBXSessionBinder> FDSSession;
  std::unique_ptr<TDBXJSonServerInputConnectionHandler> FConnectionHandler;
};

}  // namespace tavrin
