#pragma once
// One accepted TCP connection and its socket. Every wait (for input, for room to send)
// sleeps in the system until the socket is ready, the peer goes away or a close is
// requested, so an idle connection costs no CPU. How it waits is the system's own
// (tcp_connection_io_posix.cpp, tcp_connection_io_win.cpp).
//
// Threading: the connection's own thread calls everything except RequestClose, which
// any thread may call (it shuts the socket down, or posts to the event loop). The
// accepting thread uses Socket() before handing the connection to its thread.
// Errors: none of these raise; failures are reported as "gone" results.

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "transport/keep_alive.h"

namespace tavrin {

class TDSTCPConnection {
 public:
  TDSTCPConnection();
  ~TDSTCPConnection();

  TDSTCPConnection(const TDSTCPConnection&) = delete;
  TDSTCPConnection& operator=(const TDSTCPConnection&) = delete;

  // The socket to accept into; bound to this connection's event loop.
  asio::ip::tcp::socket& Socket() { return FSocket; }

  // After the accept: non-blocking mode, Nagle off, and the peer's address noted.
  void Accepted();

  // Copies up to Buffer.size() (> 0) bytes into Buffer. With Wait, waits until at least
  // one byte arrived. Returns the count (0 only without Wait, when nothing is waiting),
  // or nothing once the peer closed, the connection failed or a close was requested.
  std::optional<std::size_t> Receive(std::span<std::uint8_t> Buffer, bool Wait);

  // Sends every byte, waiting for room as needed. False when the connection is gone.
  bool Send(std::span<const std::uint8_t> Bytes);

  // Waits until received bytes are waiting (true), or until the peer closes, the
  // connection fails or a close is requested (false). The bytes are read at once, up to
  // tcp::kEarlyReadBytes, and the next Receive hands them out: one system call instead
  // of a look followed by the read.
  bool WaitForInput();

  // Bounds on waiting, kept until changed: every wait (for input or for room to send)
  // ends by Deadline, when set, and, with a positive IdleLimit, after IdleLimit without
  // the socket becoming ready. A wait that ends so counts as the connection gone, and
  // TimedOut() says so from then on.
  void SetDeadline(std::optional<std::chrono::steady_clock::time_point> Deadline) { FDeadline = Deadline; }
  void SetIdleLimit(std::chrono::milliseconds IdleLimit) { FIdleLimit = IdleLimit; }
  bool TimedOut() const { return FTimedOut; }

  // After the peer's last request: reads and drops whatever still arrives, until the
  // peer closes or Grace has passed. Returns at once after a close request.
  void DrainUntilPeerCloses(std::chrono::milliseconds Grace);

  // Any thread: makes every wait end and the socket close on the connection's thread.
  void RequestClose();
  bool CloseRequested() const { return FCloseRequested.load(); }

  // Without waiting: true when the peer has closed or reset the connection (bytes it sent
  // before may still be waiting), or a close was requested. Where the system cannot tell
  // without reading, only the close request counts.
  bool PeerClosed();

  // Shuts the socket down and closes it; errors are ignored (the peer may be gone).
  void Close();

  // Applies a keep-alive choice: kaDefault leaves the socket as the system set it.
  // Times are rounded down to whole seconds, at least 1. Errors are ignored: keep-alive
  // is a hint, not a requirement of the protocol.
  void ApplyKeepAlive(TKeepAliveEnablement Enablement, std::int32_t TimeMs,
                      std::int32_t IntervalMs);

  // The peer's address as text (dotted decimal for IPv4, the usual form for IPv6) and
  // port, as noted by Accepted(); empty and 0 when the peer was already gone.
  const std::string& RemoteAddress() const { return FRemoteAddress; }
  std::uint16_t RemotePort() const { return FRemotePort; }

  // A number unique among the connections of this process.
  std::uint64_t Id() const { return FId; }

 private:
  // Sleeps until the socket is ready for What; false when the wait was ended by a close,
  // the deadline or the idle limit.
  bool WaitFor(asio::socket_base::wait_type What);
  // When the wait in progress must end, by the deadline or the idle limit; none if never.
  std::optional<std::chrono::steady_clock::time_point> WaitEnd() const;
  // The system's own setting-up of an accepted socket (its blocking mode).
  void PrepareSocket();
  // One read or write that does not wait: the bytes moved, 0 when the socket would
  // block, or nothing once the connection is gone (end of stream, reset, failure).
  std::optional<std::size_t> ReadNow(std::span<std::uint8_t> Buffer);
  std::optional<std::size_t> WriteNow(std::span<const std::uint8_t> Bytes);
  // The bytes WaitForInput read ahead: whether some wait, handing them out, and the
  // room to read them into (then noting how many came).
  bool HasEarlyBytes() const { return FEarlyFirst < FEarlyEnd; }
  std::size_t TakeEarly(std::span<std::uint8_t> Buffer);
  std::span<std::uint8_t> EarlySpace();
  void KeepEarly(std::size_t Count) {
    FEarlyFirst = 0;
    FEarlyEnd = Count;
  }
  void CloseSocket();

  asio::io_context FIo;  // run only by the connection's thread (where waits use it)
  asio::ip::tcp::socket FSocket;
  std::mutex FCloseLock;  // between closing the socket and another thread's RequestClose
  std::atomic<bool> FCloseRequested{false};
  std::string FRemoteAddress;
  std::uint16_t FRemotePort = 0;
  const std::uint64_t FId;
  std::optional<std::chrono::steady_clock::time_point> FDeadline;
  std::chrono::milliseconds FIdleLimit{0};
  bool FTimedOut = false;
  // Bytes WaitForInput read that Receive has not handed out yet: [FEarlyFirst, FEarlyEnd).
  // The room is made at the first read and kept, with nothing written into it before.
  std::unique_ptr<std::uint8_t[]> FEarly;
  std::size_t FEarlyFirst = 0;
  std::size_t FEarlyEnd = 0;
};

}  // namespace tavrin
