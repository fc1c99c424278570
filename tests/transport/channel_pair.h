#pragma once
// One accepted server-side connection and its loopback client, without a transport, so
// a test can drive the channels from its own thread.

#include <asio.hpp>

#include <memory>

#include "transport/tcp_connection.h"
#include "transport/test_client.h"

namespace tavrin::testing {

struct TChannelPair {
  TChannelPair() {
    const bool Connected = Client.Connect(Acceptor.local_endpoint().port());
    if (Connected) {
      Acceptor.accept(Connection->Socket());  // already queued: does not wait
      Connection->Accepted();
    }
  }

  asio::io_context Io;
  asio::ip::tcp::acceptor Acceptor{
      Io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0)};
  std::shared_ptr<TDSTCPConnection> Connection = std::make_shared<TDSTCPConnection>();
  TTestClient Client;
};

}  // namespace tavrin::testing
