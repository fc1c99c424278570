#include "transport/tcp_connection.h"

#include <algorithm>

#if defined(__linux__)
#include <poll.h>
#endif

#include "transport/tcp_limits.h"

namespace tavrin {
namespace {

std::atomic<std::uint64_t> NextConnectionId{1};

bool WouldBlock(const std::error_code& Error) {
  return Error == asio::error::would_block || Error == asio::error::try_again;
}

}  // namespace

TDSTCPConnection::TDSTCPConnection() : FIo(1), FSocket(FIo), FId(NextConnectionId++) {}

TDSTCPConnection::~TDSTCPConnection() { CloseSocket(); }

void TDSTCPConnection::Accepted() {
  std::error_code Ignored;
  FSocket.non_blocking(true, Ignored);
  // Small replies leave at once.
  FSocket.set_option(asio::ip::tcp::no_delay(true), Ignored);
  const auto Peer = FSocket.remote_endpoint(Ignored);
  if (!Ignored) {
    FRemoteAddress = Peer.address().to_string();
    FRemotePort = Peer.port();
  }
}

bool TDSTCPConnection::WaitFor(asio::socket_base::wait_type What) {
  if (FCloseRequested.load() || !FSocket.is_open() || FTimedOut) {
    return false;
  }
  std::optional<std::chrono::steady_clock::time_point> Until = FDeadline;
  if (FIdleLimit.count() > 0) {
    const auto Idle = std::chrono::steady_clock::now() + FIdleLimit;
    Until = Until ? std::min(*Until, Idle) : Idle;
  }
  bool Done = false;
  std::error_code Result;
  FSocket.async_wait(What, [&Done, &Result](const std::error_code& Error) {
    Done = true;
    Result = Error;
  });
  asio::steady_timer Timer(FIo);
  bool TimerDone = !Until.has_value();
  if (Until) {
    Timer.expires_at(*Until);
    Timer.async_wait([this, &TimerDone, &Done](const std::error_code& Error) {
      TimerDone = true;
      // Expired after the socket was ready (its handler ran first): not a time-out.
      if (!Error && !Done) {
        FTimedOut = true;
        std::error_code Ignored;
        FSocket.cancel(Ignored);  // ends the socket's wait
      }
    });
  }
  FIo.restart();
  while (!Done) {
    FIo.run_one();
  }
  // The timer's handler refers to this frame: it must have run before the frame goes.
  Timer.cancel();
  while (!TimerDone) {
    FIo.run_one();
  }
  return !Result && !FCloseRequested.load() && !FTimedOut;
}

bool TDSTCPConnection::PeerClosed() {
  if (FCloseRequested.load() || !FSocket.is_open()) {
    return true;
  }
#if defined(__linux__)
  // The peer's close shows even while its last bytes wait unread, which a read would
  // have to consume first.
  pollfd Probe{FSocket.native_handle(), POLLRDHUP, 0};
  return ::poll(&Probe, 1, 0) == 1 && (Probe.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
#elif defined(_WIN32)
  // A reset or a close shows as a hang-up, asked without reading.
  WSAPOLLFD Probe{FSocket.native_handle(), POLLRDNORM, 0};
  return ::WSAPoll(&Probe, 1, 0) == 1 && (Probe.revents & (POLLHUP | POLLERR)) != 0;
#else
  return false;
#endif
}

void TDSTCPConnection::DrainUntilPeerCloses(std::chrono::milliseconds Grace) {
  SetDeadline(std::chrono::steady_clock::now() + Grace);
  SetIdleLimit(std::chrono::milliseconds{0});
  std::uint8_t Dropped[512];
  while (Receive(Dropped, true)) {
  }
}

std::optional<std::size_t> TDSTCPConnection::Receive(std::span<std::uint8_t> Buffer, bool Wait) {
  if (FEarlyFirst < FEarly.size()) {
    const std::size_t Count = std::min(Buffer.size(), FEarly.size() - FEarlyFirst);
    std::copy_n(FEarly.begin() + static_cast<std::ptrdiff_t>(FEarlyFirst), Count, Buffer.begin());
    FEarlyFirst += Count;
    return Count;
  }
  for (;;) {
    if (FCloseRequested.load() || !FSocket.is_open()) {
      return std::nullopt;
    }
    std::error_code Error;
    const std::size_t Count = FSocket.read_some(asio::buffer(Buffer.data(), Buffer.size()), Error);
    if (!Error) {
      return Count;
    }
    if (!WouldBlock(Error)) {
      return std::nullopt;  // end of stream, reset, or any other failure
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
    std::error_code Error;
    Sent += FSocket.write_some(asio::buffer(Bytes.data() + Sent, Bytes.size() - Sent), Error);
    if (Error) {
      if (!WouldBlock(Error) || !WaitFor(asio::socket_base::wait_write)) {
        return false;
      }
    }
  }
  return true;
}

bool TDSTCPConnection::WaitForInput() {
  if (FEarlyFirst < FEarly.size()) {
    return true;
  }
  FEarlyFirst = 0;
  for (;;) {
    FEarly.clear();
    if (FCloseRequested.load() || !FSocket.is_open()) {
      return false;
    }
    FEarly.resize(tcp::kEarlyReadBytes);
    std::error_code Error;
    const std::size_t Count = FSocket.read_some(asio::buffer(FEarly), Error);
    if (!Error) {
      FEarly.resize(Count);
      return Count > 0;
    }
    FEarly.clear();
    if (!WouldBlock(Error) || !WaitFor(asio::socket_base::wait_read)) {
      return false;  // end of stream, reset, a close, or any other failure
    }
  }
}

void TDSTCPConnection::RequestClose() {
  FCloseRequested.store(true);
  // Runs on the connection's thread, the only one that touches the socket; it cancels
  // the wait in progress, if any.
  asio::post(FIo, [this] { CloseSocket(); });
}

void TDSTCPConnection::Close() { CloseSocket(); }

void TDSTCPConnection::CloseSocket() {
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
