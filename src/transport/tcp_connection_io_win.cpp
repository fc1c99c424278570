// How a connection waits, reads and writes on Windows: a non-blocking socket, and waits
// in the connection's private event loop, which a close request posts to.
#include <algorithm>

// The socket calls (WSAPoll) come with Asio's own socket headers.
#include "transport/tcp_connection.h"
#include "transport/tcp_limits.h"

namespace tavrin {
namespace {

bool WouldBlock(const std::error_code& Error) {
  return Error == asio::error::would_block || Error == asio::error::try_again;
}

}  // namespace

void TDSTCPConnection::PrepareSocket() {
  std::error_code Ignored;
  FSocket.non_blocking(true, Ignored);
}

bool TDSTCPConnection::WaitFor(asio::socket_base::wait_type What) {
  if (FCloseRequested.load() || !FSocket.is_open() || FTimedOut) {
    return false;
  }
  const auto Until = WaitEnd();
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
  // A reset or a close shows as a hang-up, asked without reading.
  WSAPOLLFD Probe{FSocket.native_handle(), POLLRDNORM, 0};
  return ::WSAPoll(&Probe, 1, 0) == 1 && (Probe.revents & (POLLHUP | POLLERR)) != 0;
}

std::optional<std::size_t> TDSTCPConnection::ReadNow(std::span<std::uint8_t> Buffer) {
  std::error_code Error;
  const std::size_t Count = FSocket.read_some(asio::buffer(Buffer.data(), Buffer.size()), Error);
  if (!Error) return Count;
  if (WouldBlock(Error)) return 0;
  return std::nullopt;  // end of stream, reset, or any other failure
}

std::optional<std::size_t> TDSTCPConnection::WriteNow(std::span<const std::uint8_t> Bytes) {
  std::error_code Error;
  const std::size_t Count = FSocket.write_some(asio::buffer(Bytes.data(), Bytes.size()), Error);
  if (!Error) return Count;
  if (WouldBlock(Error)) return 0;
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
    const auto Count = ReadNow(EarlySpace());
    if (!Count) {
      return false;  // end of stream, reset, or any other failure
    }
    if (*Count > 0) {
      KeepEarly(*Count);
      return true;
    }
    if (!WaitFor(asio::socket_base::wait_read)) {
      return false;  // a close, the time limit, or a failure
    }
  }
}

void TDSTCPConnection::RequestClose() {
  FCloseRequested.store(true);
  // Runs on the connection's thread, the only one that touches the socket; it cancels
  // the wait in progress, if any.
  asio::post(FIo, [this] { CloseSocket(); });
}

}  // namespace tavrin
