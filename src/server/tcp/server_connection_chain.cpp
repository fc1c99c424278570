#include "server/tcp/server_connection_chain.h"

#include "server/requests/server_handler_chain.h"
#include "server/methods/server_connection_handler.h"
#include "server/sessions/session_manager.h"
#include "server/sessions/tcp_session_binder.h"
#include "vocabulary/dbx_limits.h"
#include "vocabulary/defaults.h"

namespace tavrin {

TDSServerConnectionChain::TDSServerConnectionChain(const TDSTCPConnectionInfo& Info, const TDSServerEvents& Events,
                                                   IDSServerMethodProvider& Methods, TServerMemoryBudget* Budget)
    : FMemory(std::make_shared<TConnectionMemory>(Budget, limits::kMaxConnectionInFlightBytes)) {
  // A request waiting for room in the server's budget stops waiting once its client has
  // gone, instead of holding its thread for the rest of the wait.
  FMemory->SetClientGone([&Channel = Info.Channel] { return Channel.PeerClosed(); });
  FMemory->SetClient(Info.Channel.ChannelInfo().ClientInfo.IpAddress);
  const std::int32_t BufferKB = Info.BufferSize / defaults::kBytesPerKB;
  FHandler = BuildServerHandlerChain(
      Info.Channel, FContext, BufferKB, MakeServerConnectionLink(Events, Methods, Info.UnregisterConnection),
      std::make_unique<TDSTCPSessionBinder>(Info.Channel.ChannelInfo().ClientInfo.IpAddress));
}

TDSTCPConnectionChain MakeServerConnectionChain(const TDSTCPConnectionInfo& Info, const TDSServerEvents& Events,
                                                IDSServerMethodProvider& Methods, TServerMemoryBudget* Budget) {
  TDSTCPConnectionChain Chain;
  auto Handler = std::make_unique<TDSServerConnectionChain>(Info, Events, Methods, Budget);
  std::weak_ptr<TConnectionMemory> Memory = Handler->Memory();
  Chain.Handler = std::move(Handler);
  Chain.BeforeBatch = [Memory] { TConnectionMemory::SetCurrent(Memory.lock()); };
  Chain.AfterBatch = [] {
    TConnectionMemory::SetCurrent(nullptr);
    TDSSessionManager::ClearThreadSession();
  };
  return Chain;
}

}  // namespace tavrin
