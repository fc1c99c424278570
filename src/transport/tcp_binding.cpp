#include "transport/tcp_binding.h"

#include <chrono>

#include "transport/tcp_connection.h"
#include "transport/tcp_limits.h"

namespace tavrin {
namespace {

// Pause before accepting again after a failed accept, so a lasting fault (no free
// descriptors) does not spin the accepting thread.
constexpr std::chrono::milliseconds kAcceptRetryPause{100};

}  // namespace

std::string BindFailureMessage(const std::error_code& Error) {
  if (Error == asio::error::address_in_use) {
    return std::string(tcp::kAddressInUse);
  }
  if (Error == asio::error::access_denied || Error == std::errc::permission_denied ||
      Error == std::errc::operation_not_permitted) {
    return std::string(tcp::kBindNotPermitted);
  }
  return std::string(tcp::kBindFailed) + Error.message();
}

bool IsIPv6Unavailable(const std::error_code& Error) {
  return Error == asio::error::address_family_not_supported ||
         Error == std::errc::address_not_available || Error == std::errc::protocol_not_supported;
}

TDSTCPBinding::TDSTCPBinding() : FIo(1), FAcceptor(FIo), FRetryTimer(FIo) {}

TDSTCPBinding::~TDSTCPBinding() { CloseAcceptor(); }

std::error_code TDSTCPBinding::Listen(const asio::ip::tcp& Protocol, std::uint16_t Port) {
  std::error_code Error;
  FAcceptor.open(Protocol, Error);
  if (Error) {
    return Error;
  }
  if (Protocol == asio::ip::tcp::v6()) {
    FAcceptor.set_option(asio::ip::v6_only(true), Error);
    if (Error) {
      return Error;
    }
  }
#if defined(_WIN32)
  // Nobody else may bind this port while we hold it.
  FAcceptor.set_option(asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>(true),
                       Error);
#else
  // Lets a restarted server bind over connections of its previous run that linger in
  // TIME_WAIT; a port another process listens on is still refused.
  FAcceptor.set_option(asio::socket_base::reuse_address(true), Error);
#endif
  if (Error) {
    return Error;
  }
  FAcceptor.bind(asio::ip::tcp::endpoint(Protocol, Port), Error);
#if defined(_WIN32)
  // Windows refuses a port another socket holds exclusively, as ours hold theirs, with
  // "access denied": the port is in use.
  if (Error == asio::error::access_denied) {
    Error = asio::error::address_in_use;
  }
#endif
  if (!Error) {
    FAcceptor.listen(tcp::kListenBacklog, Error);
  }
  return Error;
}

std::uint16_t TDSTCPBinding::Port() const {
  std::error_code Error;
  const auto Local = FAcceptor.local_endpoint(Error);
  return Error ? std::uint16_t{0} : Local.port();
}

void TDSTCPBinding::RunUntil(const bool& Done) {
  FIo.restart();
  while (!Done) {
    FIo.run_one();
  }
}

TDSTCPBinding::TAcceptResult TDSTCPBinding::Accept(TDSTCPConnection& Connection,
                                                   std::error_code& Failure) {
  Failure.clear();
  if (FCloseRequested.load() || !FAcceptor.is_open()) {
    return TAcceptResult::Closed;
  }
  bool Done = false;
  FAcceptor.async_accept(Connection.Socket(), [&Done, &Failure](const std::error_code& Error) {
    Done = true;
    Failure = Error;
  });
  RunUntil(Done);
  if (FCloseRequested.load()) {
    return TAcceptResult::Closed;
  }
  if (!Failure) {
    return TAcceptResult::Accepted;
  }
  bool Paused = false;
  FRetryTimer.expires_after(kAcceptRetryPause);
  FRetryTimer.async_wait([&Paused](const std::error_code&) { Paused = true; });
  RunUntil(Paused);
  return FCloseRequested.load() ? TAcceptResult::Closed : TAcceptResult::Failed;
}

void TDSTCPBinding::RequestClose() {
  FCloseRequested.store(true);
  // Runs on the accepting thread, the only one that touches the acceptor; it ends the
  // accept or pause in progress.
  asio::post(FIo, [this] { CloseAcceptor(); });
}

void TDSTCPBinding::CloseAcceptor() {
  std::error_code Ignored;  // closing goes on whatever the system says
  FRetryTimer.cancel();
  FAcceptor.close(Ignored);
}

}  // namespace tavrin
