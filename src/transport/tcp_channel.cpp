#include "transport/tcp_channel.h"

#include <utility>

#include "vocabulary/dbx_error.h"
#include "transport/tcp_connection.h"
#include "transport/tcp_limits.h"

namespace tavrin {
namespace {

const TDBXChannelInfo& EmptyChannelInfo() {
  static const TDBXChannelInfo Empty;
  return Empty;
}

}  // namespace

TDSTCPChannel::TDSTCPChannel(std::shared_ptr<TDSTCPConnection> Connection)
    : FConnection(std::move(Connection)) {}

TDSTCPChannel::~TDSTCPChannel() = default;

void TDSTCPChannel::Open() {
  FInfo.emplace(FConnection->Id(), FConnection->RemoteAddress());
  FInfo->ClientInfo.IpAddress = FConnection->RemoteAddress();
  FInfo->ClientInfo.ClientPort = FConnection->RemotePort();
  FInfo->ClientInfo.Protocol = std::string(tcp::kProtocolName);
}

void TDSTCPChannel::Close() {
  FConnection->Close();
  FInfo.reset();
}

void TDSTCPChannel::Lost() {
  FConnectionLost.store(true);
  throw TDBXError(TDBXErrorCodes::Unspecified, std::string(tcp::kConnectionLost));
}

std::int32_t TDSTCPChannel::ReadSome(std::span<std::uint8_t> Buffer, bool Wait) {
  if (Buffer.empty()) {
    return 0;
  }
  if (FConnectionLost.load()) {
    Lost();
  }
  // The stream buffers are at most a few megabytes, so a count always fits.
  const auto Count = FConnection->Receive(Buffer, Wait);
  if (!Count) {
    Lost();
  }
  return static_cast<std::int32_t>(*Count);
}

std::int32_t TDSTCPChannel::Read(std::span<std::uint8_t> Buffer) { return ReadSome(Buffer, true); }

std::int32_t TDSTCPChannel::ReadAvailable(std::span<std::uint8_t> Buffer) {
  return ReadSome(Buffer, false);
}

void TDSTCPChannel::Write(std::span<const std::uint8_t> Bytes) {
  if (FConnectionLost.load() || !FConnection->Send(Bytes)) {
    Lost();
  }
}

bool TDSTCPChannel::PeerClosed() { return FConnectionLost.load() || FConnection->PeerClosed(); }

const TDBXChannelInfo& TDSTCPChannel::ChannelInfo() const {
  return FInfo ? *FInfo : EmptyChannelInfo();
}

TDSTCPChannelInternal::TDSTCPChannelInternal(std::shared_ptr<TDSTCPConnection> Connection,
                                             TDSSessionEvents* Events)
    : TDSTCPChannel(std::move(Connection)), FEvents(Events), FLink(std::make_shared<TSessionLink>()) {
  FLink->Connection = SharedConnection();
  if (FEvents != nullptr) {
    FSubscription = FEvents->Subscribe(
        [Link = std::weak_ptr<TSessionLink>(FLink)](const std::string& Name) {
          OnSessionClosed(Link, Name);
        });
  }
}

TDSTCPChannelInternal::~TDSTCPChannelInternal() { Unsubscribe(); }

void TDSTCPChannelInternal::Unsubscribe() {
  if (FSubscription) {
    FEvents->Unsubscribe(*FSubscription);
    FSubscription.reset();
  }
}

void TDSTCPChannelInternal::Close() {
  Unsubscribe();
  TDSTCPChannel::Close();
}

std::int32_t TDSTCPChannelInternal::Read(std::span<std::uint8_t> Buffer) {
  if (FEvents != nullptr && !FNameKnown) {
    // Asked outside the link's lock: the session layer may hold its own lock while it
    // notifies us, and we take the link's lock there.
    std::string Name = FEvents->ThreadSessionName();
    if (!Name.empty()) {
      std::lock_guard Guard(FLink->Lock);
      FLink->Name = std::move(Name);
      FNameKnown = true;
    }
  }
  return TDSTCPChannel::Read(Buffer);
}

std::string TDSTCPChannelInternal::SessionName() const {
  std::lock_guard Guard(FLink->Lock);
  return FLink->Name;
}

void TDSTCPChannelInternal::OnSessionClosed(const std::weak_ptr<TSessionLink>& Link,
                                            const std::string& Name) {
  const auto Alive = Link.lock();
  if (!Alive || Name.empty()) {
    return;
  }
  {
    std::lock_guard Guard(Alive->Lock);
    if (Alive->Name != Name) {
      return;
    }
  }
  if (const auto Connection = Alive->Connection.lock()) {
    Connection->RequestClose();
  }
}

}  // namespace tavrin
