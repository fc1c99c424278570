#include "transport/filter_socket_channel.h"

#include <algorithm>

#include "vocabulary/dbx_error.h"
#include "transport/tcp_channel.h"

namespace tavrin {

TDBXFilterSocketChannel::TDBXFilterSocketChannel(TDSTCPChannel& Channel) : FChannel(Channel) {}

void TDBXFilterSocketChannel::Open() { FChannel.Open(); }

void TDBXFilterSocketChannel::Close() { FChannel.Close(); }

std::int32_t TDBXFilterSocketChannel::Deliver(std::span<const std::uint8_t> Bytes,
                                              std::span<std::uint8_t> Buffer) {
  const std::size_t Count = std::min(Bytes.size(), Buffer.size());
  std::copy_n(Bytes.begin(), Count, Buffer.begin());
  FPending.assign(Bytes.begin() + static_cast<std::ptrdiff_t>(Count), Bytes.end());
  return static_cast<std::int32_t>(Count);
}

std::int32_t TDBXFilterSocketChannel::Read(std::span<std::uint8_t> Buffer) {
  if (Buffer.empty()) {
    return 0;
  }
  if (!FPending.empty()) {
    const std::vector<std::uint8_t> Pending = std::move(FPending);
    return Deliver(Pending, Buffer);
  }
  if (FNegotiation == TNegotiation::PassThrough) {
    return FChannel.Read(Buffer);
  }

  std::size_t Got = 0;
  while (Got < FHeader.size()) {
    Got += static_cast<std::size_t>(FChannel.Read(std::span(FHeader).subspan(Got)));
  }
  FNegotiation = TNegotiation::PassThrough;
  if (FHeader == tcp::kFilterProbe) {
    FChannel.Write(tcp::kNoFiltersAnswer);
    return FChannel.Read(Buffer);
  }
  // The client started with its data. Hand on what has already arrived behind the
  // opening, but do not wait for more: the opening may be a whole request.
  const std::int32_t Count = Deliver(FHeader, Buffer);
  if (Buffer.size() <= FHeader.size()) {
    return Count;
  }
  try {
    return Count + FChannel.ReadAvailable(Buffer.subspan(FHeader.size()));
  } catch (const TDBXError&) {
    // Safe to drop: the opening bytes are delivered now, and the TCP channel keeps its
    // lost state, so the next read raises.
    return Count;
  }
}

void TDBXFilterSocketChannel::Write(std::span<const std::uint8_t> Bytes) {
  if (!Bytes.empty()) {
    FChannel.Write(Bytes);
  }
}

bool TDBXFilterSocketChannel::ConnectionLost() const { return FChannel.ConnectionLost(); }

bool TDBXFilterSocketChannel::PeerClosed() { return FChannel.PeerClosed(); }

const TDBXChannelInfo& TDBXFilterSocketChannel::ChannelInfo() const { return FChannel.ChannelInfo(); }

const TDBXSocketChannelInfo* TDBXFilterSocketChannel::SocketChannelInfo() const {
  return FChannel.SocketChannelInfo();
}

}  // namespace tavrin
