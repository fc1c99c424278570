#pragma once
// What serves one TCP connection of a server: the request loop (input handler, server
// connection handler over the server's registry and events, output handler) bound to a
// TCP session for the client's address, together with the context it raises through.
//
// Threading: built, driven and destroyed on the connection's thread.

#include <cstdint>
#include <memory>

#include "dbxstream/context.h"
#include "server/requests/json_server_protocol_handler.h"
#include "dbxstream/protocol_handler.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/server_events.h"
#include "transport/connection_chain.h"
#include "vocabulary/client_memory.h"

namespace tavrin {

class TDSServerConnectionChain : public TDBXProtocolHandler {
 public:
  // Events, Methods and Budget (when given) must outlive the chain.
  TDSServerConnectionChain(const TDSTCPConnectionInfo& Info, const TDSServerEvents& Events,
                           IDSServerMethodProvider& Methods, TServerMemoryBudget* Budget = nullptr);
  // The memory may outlive the chain (a buffer still charged to it), the channel not.
  ~TDSServerConnectionChain() override { FMemory->SetClientGone(nullptr); }
  TDSServerConnectionChain(const TDSServerConnectionChain&) = delete;
  TDSServerConnectionChain& operator=(const TDSServerConnectionChain&) = delete;

  // What the connection's requests and unsent replies hold, within the server's budget.
  const std::shared_ptr<TConnectionMemory>& Memory() const { return FMemory; }

  bool HandleProtocol() override { return FHandler->HandleProtocol(); }
  bool HandleNonBlockingProtocol() override { return FHandler->HandleNonBlockingProtocol(); }
  void SetUp(TDSCustomAuthenticationManager* Manager) override { FHandler->SetUp(Manager); }

 private:
  TDBXContext FContext;  // first: the handler raises through it until destroyed
  std::shared_ptr<TConnectionMemory> FMemory;
  std::unique_ptr<TDBXJSonServerProtocolHandler> FHandler;
};

// The transport's chain for a new connection of a server: the chain above, its memory
// made the thread's current connection memory for each batch of requests, and the
// thread's current session cleared after each batch. Budget: the server's allowance
// for memory held on behalf of clients; null: only the per-connection cap applies.
TDSTCPConnectionChain MakeServerConnectionChain(const TDSTCPConnectionInfo& Info, const TDSServerEvents& Events,
                                                IDSServerMethodProvider& Methods,
                                                TServerMemoryBudget* Budget = nullptr);

}  // namespace tavrin
