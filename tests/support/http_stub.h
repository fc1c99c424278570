#pragma once
// A tiny HTTP server on a loopback port, for the tests of HTTP clients: it reads each
// request's head, keeps it for the test to look at, and answers every request with the
// same bytes, then closes the connection. Runs on its own thread until destroyed.

#include <asio.hpp>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tavrin::testing {

class THttpStub {
 public:
  // Response is the raw bytes of a whole answer (see Answer). An empty Response makes a
  // silent server: it reads the request and then holds the connection open, answering
  // nothing, until the stub ends.
  explicit THttpStub(std::string Response)
      : FResponse(std::move(Response)),
        FAcceptor(FIo, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0)) {
    Accept();
    FThread = std::thread([this] { FIo.run(); });
  }
  ~THttpStub() {
    FIo.stop();
    FThread.join();
  }
  THttpStub(const THttpStub&) = delete;
  THttpStub& operator=(const THttpStub&) = delete;

  // A whole answer: the status line, Content-Length, "Connection: close", the extra
  // Headers (each ending in "\r\n"), a blank line and the body.
  static std::string Answer(std::string_view Body, std::string_view Status = "200 OK",
                            std::string_view Headers = "Content-Type: text/plain\r\n") {
    return "HTTP/1.1 " + std::string(Status) + "\r\nContent-Length: " +
           std::to_string(Body.size()) + "\r\nConnection: close\r\n" + std::string(Headers) +
           "\r\n" + std::string(Body);
  }

  std::uint16_t Port() const { return FAcceptor.local_endpoint().port(); }
  std::string Url(std::string_view Path = "/") const {
    return "http://127.0.0.1:" + std::to_string(Port()) + std::string(Path);
  }

  // The heads (request line and headers) of the requests read so far.
  std::vector<std::string> Requests() const {
    const std::lock_guard Guard(FLock);
    return FRequests;
  }
  std::size_t RequestCount() const { return Requests().size(); }

 private:
  struct TConnection {
    explicit TConnection(asio::io_context& Io) : Socket(Io) {}
    asio::ip::tcp::socket Socket;
    asio::streambuf Head;
  };

  void Accept() {
    auto Connection = std::make_shared<TConnection>(FIo);
    FAcceptor.async_accept(Connection->Socket, [this, Connection](const asio::error_code& Error) {
      if (Error) return;
      Serve(Connection);
      Accept();
    });
  }

  void Serve(const std::shared_ptr<TConnection>& Connection) {
    asio::async_read_until(
        Connection->Socket, Connection->Head, "\r\n\r\n",
        [this, Connection](const asio::error_code& Error, std::size_t Length) {
          if (Error) return;
          {
            const std::lock_guard Guard(FLock);
            FRequests.emplace_back(asio::buffers_begin(Connection->Head.data()),
                                   asio::buffers_begin(Connection->Head.data()) +
                                       static_cast<std::ptrdiff_t>(Length));
          }
          if (FResponse.empty()) {
            FHeld.push_back(Connection);  // only the stub's thread touches FHeld
            return;
          }
          asio::async_write(Connection->Socket, asio::buffer(FResponse),
                            [Connection](const asio::error_code&, std::size_t) {
                              asio::error_code Ignored;
                              Connection->Socket.shutdown(asio::ip::tcp::socket::shutdown_both,
                                                          Ignored);
                              Connection->Socket.close(Ignored);
                            });
        });
  }

  const std::string FResponse;
  asio::io_context FIo;
  asio::ip::tcp::acceptor FAcceptor;
  std::vector<std::shared_ptr<TConnection>> FHeld;  // silent server's open connections
  mutable std::mutex FLock;                          // guards FRequests
  std::vector<std::string> FRequests;
  std::thread FThread;
};

}  // namespace tavrin::testing
