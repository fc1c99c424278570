#pragma once
// The seam between the TCP transport and the request loop: for every accepted
// connection the transport asks a factory for the protocol handler that serves it.
// The transport knows sockets and threads; the factory's owner knows the request loop,
// the server connection and sessions.

#include <cstdint>
#include <functional>
#include <memory>

#include "dbxstream/channel.h"
#include "dbxstream/protocol_handler.h"

namespace tavrin {

class TDSTCPServerTransport;

// What the factory learns about a new connection. Everything here lives until the
// chain the factory built has been destroyed.
struct TDSTCPConnectionInfo {
  // The channel to read requests from and write replies to (the filter channel).
  // Used by the connection's thread only.
  TDbxChannel& Channel;
  // The connection's handle in the transport's registry (from 1).
  std::int32_t ConnectionHandle;
  // Empties the connection's registry slot; call it when the client's disconnect
  // request is served. Idempotent: the transport calls it again at teardown.
  std::function<void()> UnregisterConnection;
  // BufferKBSize × 1024: the size of the stream reader's and writer's buffers.
  std::int32_t BufferSize;
  TDSTCPServerTransport& Transport;
};

// What the factory builds for a connection. The transport owns it on the connection's
// thread and destroys it there when the connection ends, before the socket is closed.
struct TDSTCPConnectionChain {
  // Required. Served with SetUp(AuthenticationManager) and HandleNonBlockingProtocol
  // each time bytes are waiting; the connection ends when that returns false or raises.
  std::unique_ptr<TDBXProtocolHandler> Handler;
  // Optional: called after SetUp and before each batch of requests (the owner sets the
  // session's object creator here).
  std::function<void()> BeforeBatch;
  // Optional: called after each batch, also when it failed (the owner clears the
  // thread's current session here). Must not raise.
  std::function<void()> AfterBatch;
};

// Called on the connection's thread. May raise: the connection is then closed.
using TDSProtocolHandlerFactory = std::function<TDSTCPConnectionChain(const TDSTCPConnectionInfo&)>;

}  // namespace tavrin
