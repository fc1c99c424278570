// The client TCP channel: what it raises when the server goes, and against servers that
// misbehave at the opening (nobody listening, no answer to the probe, an answer asking
// for filters).

#include "transport/tcp_client_channel.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "dbx_test_server.h"
#include "client/connection.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

// Listens on a loopback ephemeral port; with an answer, a thread accepts one client,
// reads its 5 opening bytes, sends the answer and closes.
class TOpeningServer {
 public:
  explicit TOpeningServer(std::optional<std::string> Answer)
      : FAcceptor(FIo, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0)) {
    if (Answer) {
      FThread = std::thread([this, Bytes = *Answer] {
        std::error_code Error;  // a failed exchange shows as the client's error
        FPeer.emplace(FIo);
        FAcceptor.accept(*FPeer, Error);
        std::array<char, 5> Opening{};
        asio::read(*FPeer, asio::buffer(Opening), Error);
        asio::write(*FPeer, asio::buffer(Bytes), Error);
        FPeer->close(Error);
      });
    }
  }
  ~TOpeningServer() {
    if (FThread.joinable()) FThread.join();
  }
  std::uint16_t Port() const { return FAcceptor.local_endpoint().port(); }

 private:
  asio::io_context FIo;
  asio::ip::tcp::acceptor FAcceptor;
  std::optional<asio::ip::tcp::socket> FPeer;
  std::thread FThread;
};

TEST(TcpClientChannel, AnOpeningThatIsNotTheNoFiltersAnswerIsRefused) {
  struct TCase {
    const char* Name;
    std::optional<std::string> Answer;  // none: the server never answers
    std::chrono::milliseconds ProbeTimeOut;
    const char* Expected;
  };
  // Only the silent server needs the probe's time-out to end; the others answer or
  // close, and a long time-out shows that the channel does not wait for it.
  const TCase Cases[] = {
      {"silent server", std::nullopt, 300ms, "The server did not answer the filter probe"},
      {"filters asked for", std::string("\x06\x01\x00\x00\x00", 5), 60s,
       "The server uses transport filters, which this client does not support"},
      {"closed after a partial answer", std::string("\x06\x00", 2), 60s,
       "The server did not answer the filter probe"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TOpeningServer Server(Case.Answer);
    const auto Started = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] {
                TDBXTcpClientChannel Channel("127.0.0.1", Server.Port(), true, Case.ProbeTimeOut);
              }).Message(),
              Case.Expected);
    EXPECT_LT(std::chrono::steady_clock::now() - Started, Case.ProbeTimeOut / 2 + 10s) << "waited for the time-out";
  }
}

TEST(TcpClientChannel, NobodyListeningIsAConnectError) {
  std::uint16_t Port = 0;
  {
    asio::io_context Io;
    asio::ip::tcp::acceptor Acceptor(Io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    Port = Acceptor.local_endpoint().port();
  }
  const TDBXError Error = ErrorOf([&] { TDBXTcpClientChannel Channel("127.0.0.1", Port, false, 2s); });
  EXPECT_EQ(Error.Message().rfind("Could not connect to 127.0.0.1:" + std::to_string(Port), 0), 0u)
      << Error.Message();
}

TEST(TcpClientChannel, WithoutTheProbeNothingIsSentBeforeTheFirstWrite) {
  TOpeningServer Server(std::nullopt);
  // The silent server would fail a probe; without one the channel opens at once.
  TDBXTcpClientChannel Channel("127.0.0.1", Server.Port(), false, 300ms);
  EXPECT_FALSE(Channel.ConnectionLost());
  EXPECT_EQ(Channel.ChannelInfo().ClientInfo.ClientPort, Server.Port());
}

TEST(TcpClientChannel, ReadsAndWritesRaiseConnectionLostOnceTheServerClosed) {
  testing::TDbxTestServer Server;
  TDBXTcpClientChannel Channel("127.0.0.1", Server.Port());
  TDBXClientConnection Connection(Channel);
  Connection.Connect({});
  Connection.Disconnect();  // the server closes the connection
  std::uint8_t Byte = 0;
  for (int Attempt = 0; Attempt < 2; ++Attempt) {
    const TDBXError Error = ErrorOf([&] { Channel.Read({&Byte, 1}); });
    EXPECT_EQ(Error.Message(), "Connection lost");
    EXPECT_EQ(Error.ErrorCode(), 0);
  }
  EXPECT_TRUE(Channel.ConnectionLost());
  EXPECT_EQ(ErrorOf([&] { Channel.Write({&Byte, 1}); }).Message(), "Connection lost");
}

}  // namespace
}  // namespace tavrin
