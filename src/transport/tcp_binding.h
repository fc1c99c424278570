#pragma once
// One listening socket of the transport (IPv4 or IPv6) and the waits of its accepting
// thread. Every wait sleeps in the system until a client arrives or a close is
// requested.
//
// Threading: Listen, Port and Accept belong to the owner and then to the accepting
// thread (handed over when that thread starts); RequestClose may be called from any
// thread.

#include <asio.hpp>

#include <atomic>
#include <cstdint>
#include <string>
#include <system_error>

namespace tavrin {

class TDSTCPConnection;

// The text a failed bind is reported with: the fixed texts for a port in use and for a
// refused privilege, else the system's reason after "Could not bind socket: ".
std::string BindFailureMessage(const std::error_code& Error);

// True for the errors that mean the system offers no IPv6.
bool IsIPv6Unavailable(const std::error_code& Error);

class TDSTCPBinding {
 public:
  TDSTCPBinding();
  ~TDSTCPBinding();

  TDSTCPBinding(const TDSTCPBinding&) = delete;
  TDSTCPBinding& operator=(const TDSTCPBinding&) = delete;

  // Opens a socket of Protocol, binds it to every local address on Port (0 = a free
  // port chosen by the system) and listens. An IPv6 socket accepts IPv6 only, so the
  // IPv4 binding can share the port. Returns the system's error, empty on success.
  std::error_code Listen(const asio::ip::tcp& Protocol, std::uint16_t Port);

  // The port actually bound.
  std::uint16_t Port() const;

  enum class TAcceptResult { Accepted, Failed, Closed };

  // Waits for the next client and accepts it into Connection's socket. Closed once a
  // close was requested. Failed (with the reason in Failure) when the accept failed (a
  // client that left at once, a process out of descriptors), after a short pause so a
  // lasting fault does not spin the caller, which then simply accepts again.
  TAcceptResult Accept(TDSTCPConnection& Connection, std::error_code& Failure);

  // Any thread: ends the current and every later Accept, and closes the socket on the
  // accepting thread.
  void RequestClose();

 private:
  // Runs the event loop until Done is set by a handler.
  void RunUntil(const bool& Done);
  void CloseAcceptor();

  asio::io_context FIo;  // run only by the accepting thread, posted to by others
  asio::ip::tcp::acceptor FAcceptor;
  asio::steady_timer FRetryTimer;
  std::atomic<bool> FCloseRequested{false};
};

}  // namespace tavrin
