#pragma once
// The baseline of round-trip benchmarks: a plain echo over blocking loopback sockets,
// one thread per connection, Nagle off on both ends, as the server and the client
// channel set it.

#include <asio.hpp>
#include <cstddef>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace tavrin::bench {

// Answers every Size bytes it receives with ReplySize bytes (as many as it received
// unless told otherwise), on its own thread, until the client closes.
class TEchoServer {
 public:
  // Connects Client and accepts its connection before returning; raises what Asio
  // raises. Client must outlive the server, which closes it when it goes.
  TEchoServer(asio::io_context& Io, asio::ip::tcp::socket& Client, std::size_t Size, std::size_t ReplySize = 0)
      : FClient(Client) {
    asio::ip::tcp::acceptor Acceptor(Io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    Client.connect(Acceptor.local_endpoint());  // completes from the backlog
    asio::ip::tcp::socket Peer = Acceptor.accept();
    Peer.set_option(asio::ip::tcp::no_delay(true));
    FThread = std::thread([Peer = std::move(Peer), Size, ReplySize]() mutable {
      std::vector<std::uint8_t> Buffer(Size);
      std::vector<std::uint8_t> Answer(ReplySize == 0 ? Size : ReplySize, '.');
      std::error_code Error;
      while (!Error) {
        asio::read(Peer, asio::buffer(Buffer), Error);
        if (!Error) asio::write(Peer, asio::buffer(ReplySize == 0 ? Buffer : Answer), Error);
      }
    });
  }
  ~TEchoServer() {
    std::error_code Ignored;  // closing ends the echo thread's read either way
    FClient.shutdown(asio::ip::tcp::socket::shutdown_both, Ignored);
    FClient.close(Ignored);
    FThread.join();
  }
  TEchoServer(const TEchoServer&) = delete;
  TEchoServer& operator=(const TEchoServer&) = delete;

 private:
  asio::ip::tcp::socket& FClient;
  std::thread FThread;
};

// One round trip of Request through the echo's client socket; Reply's size says how many
// bytes come back.
inline void EchoRoundTrip(asio::ip::tcp::socket& Client, const std::vector<std::uint8_t>& Request,
                          std::vector<std::uint8_t>& Reply) {
  asio::write(Client, asio::buffer(Request));
  asio::read(Client, asio::buffer(Reply));
}

}  // namespace tavrin::bench
