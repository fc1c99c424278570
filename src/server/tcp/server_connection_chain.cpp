#include "server/tcp/server_connection_chain.h"

#include "server/requests/server_handler_chain.h"
#include "server/methods/server_connection_handler.h"
#include "server/sessions/session_manager.h"
#include "server/sessions/tcp_session_binder.h"
#include "vocabulary/defaults.h"

namespace tavrin {

TDSServerConnectionChain::TDSServerConnectionChain(const TDSTCPConnectionInfo& Info, const TDSServerEvents& Events,
                                                   IDSServerMethodProvider& Methods) {
  const std::int32_t BufferKB = Info.BufferSize / defaults::kBytesPerKB;
  FHandler = BuildServerHandlerChain(
      Info.Channel, FContext, BufferKB, MakeServerConnectionLink(Events, Methods, Info.UnregisterConnection),
      std::make_unique<TDSTCPSessionBinder>(Info.Channel.ChannelInfo().ClientInfo.IpAddress));
}

TDSTCPConnectionChain MakeServerConnectionChain(const TDSTCPConnectionInfo& Info, const TDSServerEvents& Events,
                                                IDSServerMethodProvider& Methods) {
  TDSTCPConnectionChain Chain;
  Chain.Handler = std::make_unique<TDSServerConnectionChain>(Info, Events, Methods);
  Chain.AfterBatch = [] { TDSSessionManager::ClearThreadSession(); };
  return Chain;
}

}  // namespace tavrin
