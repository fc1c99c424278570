#pragma once
// The client's end of a TCP connection as a byte channel: what a client connection (or a
// test) reads replies from and writes requests to. Connects on construction, optionally
// sends the opening filter probe and checks the server's answer, then passes bytes
// through unchanged.
//
// Threading: one thread at a time; nothing here locks.

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "dbxstream/channel.h"
#include "vocabulary/defaults.h"

namespace tavrin {

class TDBXTcpClientChannel : public TDbxChannel {
 public:
  // Connects to Host (a name or an address) and Port within Timeout. With Probe, sends
  // 05 05 05 05 05 and requires the answer 06 00 00 00 00 within Timeout. Raises
  // TDBXError when the name cannot be resolved, no connection is made in time, or the
  // answer to the probe is missing or different. A LocalAddress (a numeric address)
  // is the one the connection leaves from, so a server sees that client address; empty:
  // the system picks it. It must match the server address's family.
  TDBXTcpClientChannel(const std::string& Host, std::uint16_t Port, bool Probe = true,
                       std::chrono::milliseconds Timeout = defaults::kConnectTimeout,
                       const std::string& LocalAddress = {});
  ~TDBXTcpClientChannel() override;

  TDBXTcpClientChannel(const TDBXTcpClientChannel&) = delete;
  TDBXTcpClientChannel& operator=(const TDBXTcpClientChannel&) = delete;

  // Waits for at least one byte and returns between 1 and Buffer.size() (0 for an empty
  // Buffer). Raises TDBXError "Connection lost" (code 0) once the server closed or reset
  // the connection or Close was called, and from then on.
  std::int32_t Read(std::span<std::uint8_t> Buffer) override;
  // Sends every byte; raises "Connection lost" when the connection is gone.
  void Write(std::span<const std::uint8_t> Bytes) override;
  // Closes the socket (errors ignored). Repeatable.
  void Close();

  bool ConnectionLost() const override { return FConnectionLost; }
  // The server's address and port, protocol "tcp/ip".
  const TDBXChannelInfo& ChannelInfo() const override { return FInfo; }

 private:
  [[noreturn]] void Lost();
  void Negotiate(std::chrono::milliseconds Timeout);

  struct TSocket;  // keeps Asio out of this header
  std::unique_ptr<TSocket> FSocket;
  TDBXChannelInfo FInfo;
  bool FConnectionLost = false;
};

}  // namespace tavrin
