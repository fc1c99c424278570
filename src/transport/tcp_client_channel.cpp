#include "transport/tcp_client_channel.h"

#include <asio.hpp>

#include <array>
#include <string_view>
#include <system_error>

#include "vocabulary/dbx_error.h"
#include "transport/tcp_limits.h"

namespace tavrin {

namespace {

inline constexpr std::string_view kConnectFailed = "Could not connect to ";
inline constexpr std::string_view kConnectTimedOut = "Timed out connecting to ";
inline constexpr std::string_view kNoProbeAnswer = "The server did not answer the filter probe";
inline constexpr std::string_view kFilteredServer =
    "The server uses transport filters, which this client does not support";

// Runs Io until Done or Timeout; on timeout cancels what is pending and drains it, so
// no handler outlives the caller's locals. True when Done.
bool RunFor(asio::io_context& Io, asio::ip::tcp::socket& Socket, const bool& Done,
            std::chrono::milliseconds Timeout) {
  Io.restart();
  Io.run_for(Timeout);
  if (Done) {
    return true;
  }
  std::error_code Ignored;  // the socket is closed below or by the caller's error path
  Socket.cancel(Ignored);
  Io.restart();
  Io.run();
  return false;
}

}  // namespace

struct TDBXTcpClientChannel::TSocket {
  asio::io_context Io;
  asio::ip::tcp::socket Socket{Io};
};

TDBXTcpClientChannel::TDBXTcpClientChannel(const std::string& Host, std::uint16_t Port, bool Probe,
                                           std::chrono::milliseconds Timeout, const std::string& LocalAddress)
    : FSocket(std::make_unique<TSocket>()) {
  const std::string Where = Host + ":" + std::to_string(Port);
  std::error_code Error;
  asio::ip::tcp::resolver Resolver(FSocket->Io);
  const auto Endpoints = Resolver.resolve(Host, std::to_string(Port), Error);
  if (Error) {
    throw TDBXError(TDBXErrorCodes::Unspecified, std::string(kConnectFailed) + Where + ": " + Error.message());
  }

  bool Done = false;
  if (LocalAddress.empty()) {
    asio::async_connect(FSocket->Socket, Endpoints,
                        [&](const std::error_code& Result, const asio::ip::tcp::endpoint&) {
                          Done = true;
                          Error = Result;
                        });
  } else {
    // Trying each resolved address in turn would reopen the socket and lose the bind.
    const asio::ip::tcp::endpoint Local(asio::ip::make_address(LocalAddress, Error), 0);
    const asio::ip::tcp::endpoint Remote = Endpoints.begin()->endpoint();
    if (!Error) FSocket->Socket.open(Remote.protocol(), Error);
    if (!Error) FSocket->Socket.bind(Local, Error);
    if (Error) {
      Close();
      throw TDBXError(TDBXErrorCodes::Unspecified,
                      std::string(kConnectFailed) + Where + " from " + LocalAddress + ": " + Error.message());
    }
    FSocket->Socket.async_connect(Remote, [&](const std::error_code& Result) {
      Done = true;
      Error = Result;
    });
  }
  if (!RunFor(FSocket->Io, FSocket->Socket, Done, Timeout)) {
    Close();
    throw TDBXError(TDBXErrorCodes::Unspecified, std::string(kConnectTimedOut) + Where);
  }
  if (Error) {
    Close();
    throw TDBXError(TDBXErrorCodes::Unspecified, std::string(kConnectFailed) + Where + ": " + Error.message());
  }
  // Requests are small and each waits for its reply: send them at once.
  FSocket->Socket.set_option(asio::ip::tcp::no_delay(true), Error);

  const auto Remote = FSocket->Socket.remote_endpoint(Error);
  if (!Error) {
    FInfo.ClientInfo.IpAddress = Remote.address().to_string();
    FInfo.ClientInfo.ClientPort = Remote.port();
  }
  FInfo.ClientInfo.Protocol = std::string(tcp::kProtocolName);

  if (Probe) {
    Negotiate(Timeout);
  }
  // The bounded waits above left the socket in non-blocking mode, in which a read that
  // finds nothing waiting tries, polls and tries again: three system calls per reply
  // where a blocking read makes one. If the switch fails, reads still work that way.
  FSocket->Socket.native_non_blocking(false, Error);
}

TDBXTcpClientChannel::~TDBXTcpClientChannel() { Close(); }

void TDBXTcpClientChannel::Negotiate(std::chrono::milliseconds Timeout) {
  Write(tcp::kFilterProbe);
  std::array<std::uint8_t, tcp::kFilterHeaderBytes> Answer{};
  bool Done = false;
  std::error_code Error;
  asio::async_read(FSocket->Socket, asio::buffer(Answer),
                   [&](const std::error_code& Result, std::size_t) {
                     Done = true;
                     Error = Result;
                   });
  if (!RunFor(FSocket->Io, FSocket->Socket, Done, Timeout) || Error) {
    Close();
    throw TDBXError(TDBXErrorCodes::Unspecified, std::string(kNoProbeAnswer));
  }
  if (Answer != tcp::kNoFiltersAnswer) {
    Close();
    throw TDBXError(TDBXErrorCodes::Unspecified, std::string(kFilteredServer));
  }
}

std::int32_t TDBXTcpClientChannel::Read(std::span<std::uint8_t> Buffer) {
  if (Buffer.empty()) {
    return 0;
  }
  if (FConnectionLost) {
    Lost();
  }
  std::error_code Error;
  const std::size_t Count = FSocket->Socket.read_some(asio::buffer(Buffer.data(), Buffer.size()), Error);
  if (Error || Count == 0) {
    Lost();
  }
  // Buffers are at most a few megabytes, so a count always fits.
  return static_cast<std::int32_t>(Count);
}

void TDBXTcpClientChannel::Write(std::span<const std::uint8_t> Bytes) {
  if (Bytes.empty()) {
    return;
  }
  if (FConnectionLost) {
    Lost();
  }
  std::error_code Error;
  asio::write(FSocket->Socket, asio::buffer(Bytes.data(), Bytes.size()), Error);
  if (Error) {
    Lost();
  }
}

void TDBXTcpClientChannel::Close() {
  std::error_code Ignored;  // closing a socket that is already gone changes nothing
  FSocket->Socket.shutdown(asio::ip::tcp::socket::shutdown_both, Ignored);
  FSocket->Socket.close(Ignored);
  FConnectionLost = true;
}

void TDBXTcpClientChannel::Lost() {
  FConnectionLost = true;
  throw TDBXError(TDBXErrorCodes::Unspecified, std::string(tcp::kConnectionLost));
}

}  // namespace tavrin
