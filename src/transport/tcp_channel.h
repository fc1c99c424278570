#pragma once
// The byte channel over one accepted TCP connection, and the variant that closes itself
// when its remote session is closed elsewhere.
//
// Threading: a channel is used by its connection's thread only; the session-close
// notification of TDSTCPChannelInternal may come from any thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "dbxstream/channel.h"
#include "transport/session_events.h"
#include "transport/socket_channel_info.h"

namespace tavrin {

class TDSTCPConnection;

class TDSTCPChannel : public TDbxChannel {
 public:
  // Connection must not be null; the channel shares it.
  explicit TDSTCPChannel(std::shared_ptr<TDSTCPConnection> Connection);
  ~TDSTCPChannel() override;

  // Builds the channel information from the peer's address: Info and IpAddress are the
  // address text, ClientPort the peer's port, Protocol "tcp/ip", AppName empty.
  void Open();

  // Closes the connection (errors ignored) and frees the channel information. Repeatable.
  virtual void Close();

  // Returns between 1 and Buffer.size() bytes, waiting until at least one has arrived;
  // never waits for more than one. Raises TDBXError "Connection lost" (code 0) once the
  // peer is gone or the connection was closed, and from then on.
  std::int32_t Read(std::span<std::uint8_t> Buffer) override;

  // Like Read, but returns 0 at once when no byte is waiting.
  std::int32_t ReadAvailable(std::span<std::uint8_t> Buffer);

  // Sends every byte, waiting while the system's send buffer is full. Raises
  // "Connection lost" when the connection is gone.
  void Write(std::span<const std::uint8_t> Bytes) override;

  bool ConnectionLost() const override { return FConnectionLost.load(); }
  bool PeerClosed() override;

  // The information built by Open. Before Open (or after Close) its fields are empty.
  const TDBXChannelInfo& ChannelInfo() const override;
  // The same information with its Id and Info text; null before Open and after Close.
  // (The base information type is not polymorphic, so it has its own accessor.)
  const TDBXSocketChannelInfo* SocketChannelInfo() const { return FInfo ? &*FInfo : nullptr; }

 protected:
  TDSTCPConnection& Connection() { return *FConnection; }
  const std::shared_ptr<TDSTCPConnection>& SharedConnection() const { return FConnection; }

 private:
  std::int32_t ReadSome(std::span<std::uint8_t> Buffer, bool Wait);
  [[noreturn]] void Lost();

  std::shared_ptr<TDSTCPConnection> FConnection;
  std::optional<TDBXSocketChannelInfo> FInfo;
  std::atomic<bool> FConnectionLost{false};  // read by session notifications
};

// Subscribes to session-close notifications on creation and unsubscribes in Close (and
// at destruction). Learns its session's name on the first read made while the thread
// has a current session; when that session is closed, the channel requests the
// connection's close, which ends the connection's thread at its next wait.
class TDSTCPChannelInternal : public TDSTCPChannel {
 public:
  // Events may be null (no session link); otherwise it must outlive the channel.
  TDSTCPChannelInternal(std::shared_ptr<TDSTCPConnection> Connection, TDSSessionEvents* Events);
  ~TDSTCPChannelInternal() override;

  void Close() override;
  std::int32_t Read(std::span<std::uint8_t> Buffer) override;

  // The session name learned so far (empty until known).
  std::string SessionName() const;
  // Stops following the session: its close no longer closes the connection. For the
  // time after the client's disconnect request, when the session goes first.
  void Unsubscribe();

 private:
  // Shared with the listener, which may outlive the channel by one running call.
  struct TSessionLink {
    std::mutex Lock;  // guards Name; a leaf lock: nothing is called while it is held
    std::string Name;
    std::weak_ptr<TDSTCPConnection> Connection;  // gone once the connection is torn down
  };
  static void OnSessionClosed(const std::weak_ptr<TSessionLink>& Link, const std::string& Name);

  TDSSessionEvents* FEvents;
  std::shared_ptr<TSessionLink> FLink;
  std::optional<std::uint64_t> FSubscription;
  bool FNameKnown = false;  // connection thread only
};

}  // namespace tavrin
