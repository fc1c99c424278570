#pragma once
// One connection's handler chain as the transport builds it, over a memory channel, with
// the server's connection handler over a method provider: the base of the fixtures that
// serve requests without a socket.

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "dbxstream/memory_channel.h"
#include "server/requests/server_handler_chain.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/server_connection_handler.h"

namespace tavrin::testing {

struct TMemoryConnection {
  // Methods must outlive the connection; OnRemove is called when the connection is taken
  // off the server's connection list.
  explicit TMemoryConnection(IDSServerMethodProvider& Methods, std::function<void()> OnRemove = {}) {
    const TDBXMiddleLinkFactory Make = MakeServerConnectionLink(Events, Methods, std::move(OnRemove));
    Handler = BuildServerHandlerChain(
        Channel, Context, defaults::kBufferKBSize,
        [&](TDBXContext& Ctx, TDbxChannel& Chan, std::unique_ptr<TDBXConnectionHandler> Output) {
          auto Made = Make(Ctx, Chan, std::move(Output));
          Server = dynamic_cast<TDSServerConnectionHandler*>(Made.get());
          return Made;
        },
        nullptr);
  }

  // Feeds Request as one arrival, serves it and returns what was written.
  std::string Serve(const std::string& Request) {
    Channel.ClearWritten();
    Channel.Feed(Request);
    Handler->HandleNonBlockingProtocol();
    return Channel.WrittenText();
  }

  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDSServerEvents Events;
  TDSServerConnectionHandler* Server = nullptr;
  std::unique_ptr<TDBXJSonServerProtocolHandler> Handler;
};

}  // namespace tavrin::testing
