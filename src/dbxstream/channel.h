#pragma once
// The byte channel under a connection's stream reader and writer.

#include <cstdint>
#include <span>
#include <string>

namespace tavrin {

// Who the client is, as the transport learned it.
struct TDBXClientInfo {
  std::string IpAddress;
  std::int32_t ClientPort = 0;
  std::string Protocol;
  std::string AppName;
};

struct TDBXChannelInfo {
  TDBXClientInfo ClientInfo;
};

class TDbxChannel {
 public:
  virtual ~TDbxChannel() = default;

  // Places up to Buffer.size() bytes and returns how many it placed. A result of zero
  // or less means nothing could be read; the stream reader treats that as a failure.
  // May raise TDBXError (a network channel raises "Connection lost").
  virtual std::int32_t Read(std::span<std::uint8_t> Buffer) = 0;

  // Sends every byte or raises.
  virtual void Write(std::span<const std::uint8_t> Bytes) = 0;

  virtual bool ConnectionLost() const = 0;

  // Without waiting: true when the peer is known to have gone, even before a read or
  // write has failed. A channel that cannot tell sooner answers as ConnectionLost.
  virtual bool PeerClosed() { return ConnectionLost(); }

  virtual const TDBXChannelInfo& ChannelInfo() const = 0;
};

}  // namespace tavrin
