// How a connection waits, reads and writes on POSIX systems. The socket stays in
// blocking mode: between requests, with no time limit set, the connection's thread
// sleeps in one read, so a request costs the same system calls as an echo of its bytes
// (the read and the write). Every other read and write is asked not to block
// (MSG_DONTWAIT), and waits with a time limit sleep in poll(). A close request from
// another thread shuts the socket down, which ends a read or poll in progress at once.
#include <poll.h>

#include <algorithm>
#include <cerrno>

// The socket calls come with Asio's own socket headers.
#include "transport/tcp_connection.h"

namespace tavrin {
namespace {

// Asks the system once more after a signal interrupted the call.
template <class Call>
auto Retried(Call&& Do) {
  for (;;) {
    const auto Result = Do();
    if (Result >= 0 || errno != EINTR) return Result;
  }
}

bool WouldBlockNow() { return errno == EAGAIN || errno == EWOULDBLOCK; }

}  // namespace

void TDSTCPConnection::PrepareSocket() {}

bool TDSTCPConnection::WaitFor(asio::socket_base::wait_type What) {
  if (FCloseRequested.load() || !FSocket.is_open() || FTimedOut) {
    return false;
  }
  const auto Until = WaitEnd();
  pollfd Probe{FSocket.native_handle(),
               static_cast<short>(What == asio::socket_base::wait_write ? POLLOUT : POLLIN), 0};
  for (;;) {
    int TimeoutMs = -1;
    if (Until) {
      const auto Left =
          std::chrono::ceil<std::chrono::milliseconds>(*Until - std::chrono::steady_clock::now());
      if (Left.count() <= 0) {
        FTimedOut = true;
        return false;
      }
      TimeoutMs = static_cast<int>(std::min<std::chrono::milliseconds::rep>(Left.count(), 1'000'000));
    }
    const int Ready = ::poll(&Probe, 1, TimeoutMs);
    if (FCloseRequested.load()) {
      return false;
    }
    if (Ready > 0) {
      return true;  // ready, or hung up / failed: the read or write that follows tells which
    }
    if (Ready < 0 && errno != EINTR) {
      return false;
    }
  }
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
#else
  return false;
#endif
}

std::optional<std::size_t> TDSTCPConnection::ReadNow(std::span<std::uint8_t> Buffer) {
  const auto Count =
      Retried([&] { return ::recv(FSocket.native_handle(), Buffer.data(), Buffer.size(), MSG_DONTWAIT); });
  if (Count > 0) return static_cast<std::size_t>(Count);
  if (Count < 0 && WouldBlockNow()) return 0;
  return std::nullopt;  // end of stream, reset, or any other failure
}

std::optional<std::size_t> TDSTCPConnection::WriteNow(std::span<const std::uint8_t> Bytes) {
  const auto Count = Retried([&] {
    return ::send(FSocket.native_handle(), Bytes.data(), Bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  });
  if (Count >= 0) return static_cast<std::size_t>(Count);
  if (WouldBlockNow()) return 0;
  return std::nullopt;
}

bool TDSTCPConnection::WaitForInput() {
  if (HasEarlyBytes()) {
    return true;
  }
  for (;;) {
    if (FCloseRequested.load() || !FSocket.is_open()) {
      return false;
    }
    // Without a time limit the read itself is the wait; with one, poll() keeps it.
    const bool Limited = WaitEnd().has_value();
    if (Limited && !WaitFor(asio::socket_base::wait_read)) {
      return false;  // a close, the time limit, or a failure
    }
    const std::span<std::uint8_t> Space = EarlySpace();
    const auto Count = Retried(
        [&] { return ::recv(FSocket.native_handle(), Space.data(), Space.size(), Limited ? MSG_DONTWAIT : 0); });
    if (Count > 0) {
      KeepEarly(static_cast<std::size_t>(Count));
      return !FCloseRequested.load();
    }
    if (Count == 0 || !WouldBlockNow()) {
      return false;  // end of stream (or the shutdown of a close request), reset, failure
    }
  }
}

void TDSTCPConnection::RequestClose() {
  FCloseRequested.store(true);
  // The shutdown wakes the connection's thread; closing stays that thread's. The lock
  // keeps the descriptor from being closed (and reused by another connection) meanwhile.
  std::lock_guard Guard(FCloseLock);
  if (FSocket.is_open()) {
    ::shutdown(FSocket.native_handle(), SHUT_RDWR);
  }
}

}  // namespace tavrin
