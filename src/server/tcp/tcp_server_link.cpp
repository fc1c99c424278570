#include "server/tcp/tcp_server_link.h"

#include "server/tcp/server_connection_chain.h"

namespace tavrin {

TDSTCPServerLink::TDSTCPServerLink(TDSServer& Server)
    : FServer(Server), FTransport([this](const TDSTCPConnectionInfo& Info) {
        return MakeServerConnectionChain(Info, FServer.Events, FServer.MethodProvider(), &FMemoryBudget);
      }) {
  FTransport.SetSessionEvents(&FSessionEvents);
  FServer.AddTransport(*this);
}

TDSTCPServerLink::~TDSTCPServerLink() { FTransport.Stop(); }

}  // namespace tavrin
