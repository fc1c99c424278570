#pragma once
// The channel the protocol handler reads and writes: it answers the client's opening
// filter probe and then passes bytes through unchanged (this server configures no
// transport filters).
//
// The first read of a connection takes the first 5 bytes. The probe 05 05 05 05 05 is
// answered 06 00 00 00 00 and swallowed; any other 5 bytes are the client's first data
// and are delivered in front of the rest.
//
// Threading: used by its connection's thread only.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dbxstream/channel.h"
#include "transport/socket_channel_info.h"
#include "transport/tcp_limits.h"

namespace tavrin {

class TDSTCPChannel;

class TDBXFilterSocketChannel : public TDbxChannel {
 public:
  enum class TNegotiation { Undecided, PassThrough };

  // Channel must outlive this one; it is not owned.
  explicit TDBXFilterSocketChannel(TDSTCPChannel& Channel);

  void Open();   // opens the TCP channel
  void Close();  // closes the TCP channel

  // Returns between 1 and Buffer.size() bytes (0 for an empty Buffer). The first read
  // waits for the 5 opening bytes; later ones wait for at least one byte and never for
  // more. Raises "Connection lost" like the TCP channel.
  std::int32_t Read(std::span<std::uint8_t> Buffer) override;

  // Passes the bytes on unchanged; a write of nothing does nothing.
  void Write(std::span<const std::uint8_t> Bytes) override;

  bool ConnectionLost() const override;
  bool PeerClosed() override;
  const TDBXChannelInfo& ChannelInfo() const override;
  const TDBXSocketChannelInfo* SocketChannelInfo() const;  // the TCP channel's

  // True while bytes of the opening are held back for the next read (only after a first
  // read that asked for fewer than 5 bytes): the transport serves them without waiting
  // for the socket.
  bool HasPendingInput() const noexcept { return !FPending.empty(); }
  TNegotiation Negotiation() const noexcept { return FNegotiation; }

 private:
  std::int32_t Deliver(std::span<const std::uint8_t> Bytes, std::span<std::uint8_t> Buffer);

  TDSTCPChannel& FChannel;
  TNegotiation FNegotiation = TNegotiation::Undecided;
  std::array<std::uint8_t, tcp::kFilterHeaderBytes> FHeader{};
  std::vector<std::uint8_t> FPending;  // opening bytes not yet delivered
};

}  // namespace tavrin
