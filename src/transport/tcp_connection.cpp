#include "transport/tcp_connection.h"

#include <algorithm>

#include "transport/tcp_limits.h"

namespace tavrin {
namespace {

std::atomic<std::uint64_t> NextConnectionId{1};

}  // namespace

TDSTCPConnection::TDSTCPConnection() : FIo(1), FSocket(FIo), FId(NextConnectionId++) {}

TDSTCPConnection::~TDSTCPConnection() { CloseSocket(); }

void TDSTCPConnection::Accepted() {
  std::error_code Ignored;
  PrepareSocket();
  // Small replies leave at once.
  FSocket.set_option(asio::ip::tcp::no_delay(true), Ignored);
  const auto Peer = FSocket.remote_endpoint(Ignored);
  if (!Ignored) {
    FRemoteAddress = Peer.address().to_string();
    FRemotePort = Peer.port();
  }
}

std::optional<std::chrono::steady_clock::time_point> TDSTCPConnection::WaitEnd() const {
  std::optional<std::chrono::steady_clock::time_point> Until = FDeadline;
  if (FIdleLimit.count() > 0) {
    const auto Idle = std::chrono::steady_clock::now() + FIdleLimit;
    Until = Until ? std::min(*Until, Idle) : Idle;
  }
  return Until;
}

std::size_t TDSTCPConnection::TakeEarly(std::span<std::uint8_t> Buffer) {
  const std::size_t Count = std::min(Buffer.size(), FEarlyEnd - FEarlyFirst);
  std::copy_n(FEarly.get() + FEarlyFirst, Count, Buffer.begin());
  FEarlyFirst += Count;
  return Count;
}

std::span<std::uint8_t> TDSTCPConnection::EarlySpace() {
  if (!FEarly) {
    FEarly = std::make_unique_for_overwrite<std::uint8_t[]>(tcp::kEarlyReadBytes);
  }
  FEarlyFirst = FEarlyEnd = 0;
  return {FEarly.get(), tcp::kEarlyReadBytes};
}

std::optional<std::size_t> TDSTCPConnection::Receive(std::span<std::uint8_t> Buffer, bool Wait) {
  if (HasEarlyBytes()) {
    return TakeEarly(Buffer);
  }
  for (;;) {
    if (FCloseRequested.load() || !FSocket.is_open()) {
      return std::nullopt;
    }
    const auto Count = ReadNow(Buffer);
    if (!Count || *Count > 0) {
      return Count;
    }
    if (!Wait) {
      return 0;
    }
    if (!WaitFor(asio::socket_base::wait_read)) {
      return std::nullopt;
    }
  }
}

bool TDSTCPConnection::Send(std::span<const std::uint8_t> Bytes) {
  std::size_t Sent = 0;
  while (Sent < Bytes.size()) {
    if (FCloseRequested.load() || !FSocket.is_open()) {
      return false;
    }
    const auto Count = WriteNow(Bytes.subspan(Sent));
    if (!Count) {
      return false;
    }
    Sent += *Count;
    if (*Count == 0 && !WaitFor(asio::socket_base::wait_write)) {
      return false;
    }
  }
  return true;
}

void TDSTCPConnection::DrainUntilPeerCloses(std::chrono::milliseconds Grace) {
  SetDeadline(std::chrono::steady_clock::now() + Grace);
  SetIdleLimit(std::chrono::milliseconds{0});
  std::uint8_t Dropped[512];
  while (Receive(Dropped, true)) {
  }
}

void TDSTCPConnection::Close() { CloseSocket(); }

void TDSTCPConnection::CloseSocket() {
  std::lock_guard Guard(FCloseLock);
  if (!FSocket.is_open()) {
    return;
  }
  std::error_code Ignored;  // the peer may be gone already; closing goes on regardless
  FSocket.shutdown(asio::ip::tcp::socket::shutdown_both, Ignored);
  FSocket.close(Ignored);
}

void TDSTCPConnection::ApplyKeepAlive(TKeepAliveEnablement Enablement, std::int32_t TimeMs,
                                      std::int32_t IntervalMs) {
  if (Enablement == TKeepAliveEnablement::kaDefault) {
    return;
  }
  const bool On = Enablement == TKeepAliveEnablement::kaEnabled;
  std::error_code Ignored;
  FSocket.set_option(asio::socket_base::keep_alive(On), Ignored);
  if (!On) {
    return;
  }
#if defined(TCP_KEEPIDLE) && defined(TCP_KEEPINTVL)
  // The system takes whole seconds.
  const auto Seconds = [](std::int32_t Ms) { return std::max(1, Ms / 1000); };
  FSocket.set_option(asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPIDLE>(Seconds(TimeMs)),
                     Ignored);
  FSocket.set_option(
      asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPINTVL>(Seconds(IntervalMs)), Ignored);
#else
  (void)TimeMs;
  (void)IntervalMs;
#endif
}

}  // namespace tavrin
