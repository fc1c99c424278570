#include "transport/tcp_server_transport.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "vocabulary/dbx_error.h"
#include "platform/descriptor_limit.h"
#include "platform/thread_setup.h"
#include "transport/filter_socket_channel.h"
#include "transport/tcp_binding.h"
#include "transport/tcp_channel.h"
#include "transport/tcp_connection.h"
#include "transport/thread_pool_scheduler.h"

namespace tavrin {
namespace {

[[noreturn]] void Fail(const std::string& Message) {
  throw TDBXError(TDBXErrorCodes::Unspecified, Message);
}

// Empties the connection's registry slot when the connection's serving ends, however
// it ends.
class TRegistration {
 public:
  TRegistration(TDSConnectionRegistry& Registry, TDSTCPConnection& Connection)
      : FRegistry(Registry), FConnection(Connection), FHandle(Registry.Register(&Connection)) {}
  ~TRegistration() { FRegistry.Unregister(FHandle, &FConnection); }
  TRegistration(const TRegistration&) = delete;
  TRegistration& operator=(const TRegistration&) = delete;

  std::int32_t Handle() const { return FHandle; }
  std::function<void()> Unregisterer() const {
    return [&Registry = FRegistry, Handle = FHandle, Connection = &FConnection] {
      Registry.Unregister(Handle, Connection);
    };
  }

 private:
  TDSConnectionRegistry& FRegistry;
  TDSTCPConnection& FConnection;
  const std::int32_t FHandle;
};

}  // namespace

TDSTCPServerTransport::TDSTCPServerTransport(TDSProtocolHandlerFactory Factory)
    : FFactory(std::move(Factory)) {}

TDSTCPServerTransport::~TDSTCPServerTransport() { Stop(); }

void TDSTCPServerTransport::SetPort(std::int32_t Value) {
  if (Value < 0 || Value > tcp::kMaxPort) {
    Fail(std::string(tcp::kInvalidPort));
  }
  FSettings.Port = Value;
}

void TDSTCPServerTransport::SetBufferKBSize(std::int32_t Value) {
  FSettings.BufferKBSize = std::clamp(Value, defaults::kMinBufferKBSize, defaults::kMaxBufferKBSize);
}

void TDSTCPServerTransport::SetIPImplementationID(std::string Value) {
  if (FActive) {
    Fail(std::string(tcp::kIPImplementationWhileActive));
  }
  FSettings.IPImplementationID = std::move(Value);
}

// --- Starting --------------------------------------------------------------------------

void TDSTCPServerTransport::Start() {
  if (FActive) {
    return;
  }
  if (!FSettings.IPImplementationID.empty()) {
    Fail(std::string(tcp::kUnknownIPImplementation) + FSettings.IPImplementationID);
  }
  if (!FSettings.Filters.empty()) {
    Fail(std::string(tcp::kFiltersNotSupported));
  }
  FRun = FSettings;
  // Each connection holds descriptors; the soft limit a process starts with would turn
  // clients away long before the connection maximum.
  platform::RaiseDescriptorLimit();
  Bind();
  try {
    FPool = std::make_unique<TDSThreadPoolScheduler>(FRun.PoolSize, FRun.MaxThreads);
    FPool->Start();
    for (auto& Binding : FBindings) {
      FAcceptThreads.emplace_back([this, &Binding = *Binding] { AcceptLoop(Binding); });
    }
  } catch (...) {
    Shutdown();
    throw;
  }
  FActive = true;
}

void TDSTCPServerTransport::Bind() {
  const bool Ephemeral = FRun.Port == 0;
  const int Attempts = Ephemeral ? tcp::kEphemeralBindAttempts : 1;
  for (int Attempt = 1;; ++Attempt) {
    FBindings.clear();
    FIPv6 = false;
    auto V4 = std::make_unique<TDSTCPBinding>();
    if (const auto Error = V4->Listen(asio::ip::tcp::v4(), static_cast<std::uint16_t>(FRun.Port))) {
      Fail(BindFailureMessage(Error));
    }
    // IPv6 listens on the same port, the one the system chose when the port is 0.
    const std::uint16_t Port = V4->Port();
    FBindings.push_back(std::move(V4));
    auto V6 = std::make_unique<TDSTCPBinding>();
    const auto Error = V6->Listen(asio::ip::tcp::v6(), Port);
    if (!Error) {
      FBindings.push_back(std::move(V6));
      FIPv6 = true;
      return;
    }
    if (IsIPv6Unavailable(Error)) {
      return;  // the system offers no IPv6: IPv4 only
    }
    if (Error == asio::error::address_in_use && Ephemeral && Attempt < Attempts) {
      continue;  // the chosen port is free on IPv4 only: let the system choose again
    }
    FBindings.clear();
    Fail(BindFailureMessage(Error));
  }
}

// --- Accepting -------------------------------------------------------------------------

void TDSTCPServerTransport::AcceptLoop(TDSTCPBinding& Binding) {
  // Accepting should not wait behind busy connection threads; refused on systems where
  // that needs privileges, and harmless then.
  platform::RaiseCurrentThreadPriority();
  for (;;) {
    auto Connection = std::make_shared<TDSTCPConnection>();
    std::error_code Failure;
    const auto Result = Binding.Accept(*Connection, Failure);
    if (Result == TDSTCPBinding::TAcceptResult::Closed) {
      return;
    }
    if (Result == TDSTCPBinding::TAcceptResult::Failed) {
      ReportListenerError(Failure.message());
      continue;
    }
    Connection->Accepted();
    if (!HasRoomForConnection()) {
      // Refused at once rather than left waiting: the client learns it was turned away.
      Connection->Close();
      ReportRefusal(Connection->RemoteAddress());
      continue;
    }
    {
      std::lock_guard Guard(FConnectionsLock);
      FConnections.push_back(Connection);
    }
    HandOver(Connection);
  }
}

void TDSTCPServerTransport::HandOver(const std::shared_ptr<TDSTCPConnection>& Connection) {
  std::function<void()> Task = [this, Connection] { RunConnection(Connection); };
  bool Reported = false;
  for (;;) {
    try {
      FPool->Run(Task);
      return;
    } catch (const TDBXError& Error) {
      // The thread bound is reached: the client waits, accepted, until a thread is free;
      // later clients wait in the backlog.
      if (!Reported) {
        ReportListenerError(Error.what());
        Reported = true;
      }
      if (FPool->WaitForFreeThread()) {
        continue;
      }
    } catch (const std::system_error& Error) {
      // No thread could be started: refuse this client, go on with the next.
      ReportListenerError(Error.what());
    }
    Connection->Close();
    Forget(Connection);
    return;
  }
}

bool TDSTCPServerTransport::HasRoomForConnection() const {
  return FRun.MaxConnections <= 0 || ConnectionCount() < static_cast<std::size_t>(FRun.MaxConnections);
}

void TDSTCPServerTransport::ReportRefusal(const std::string& Address) {
  {
    std::lock_guard Guard(FRefusalLock);
    const auto Now = std::chrono::steady_clock::now();
    if (FRefusalReported && Now - FLastRefusalReport < tcp::kRefusalReportInterval) {
      return;  // a flood of refused clients must not flood the log
    }
    FRefusalReported = true;
    FLastRefusalReport = Now;
  }
  Notify(FRun.OnConnectionRefused, Address);
}

void TDSTCPServerTransport::Notify(const TDSConnectionNoticeEvent& Event, const std::string& Address) const {
  if (!Event) {
    return;
  }
  try {
    Event(Address);
  } catch (...) {
    // Safe to drop: the notice is informative; the connection's fate is decided.
  }
}

void TDSTCPServerTransport::ReportListenerError(const std::string& Message) const {
  if (!FRun.OnListenerError) {
    return;
  }
  try {
    FRun.OnListenerError(Message);
  } catch (...) {
    // Safe to drop: a report must not end the accepting thread.
  }
}

// --- One connection, on its pool thread -------------------------------------------------

void TDSTCPServerTransport::RunConnection(const std::shared_ptr<TDSTCPConnection>& Connection) noexcept {
  try {
    ServeConnection(Connection);
  } catch (...) {
    // Safe to drop: the connection ends below, and everything it used was freed on the
    // way out (the chain, the channels, the registry slot).
  }
  Connection->Close();
  Forget(Connection);
}

void TDSTCPServerTransport::ServeConnection(const std::shared_ptr<TDSTCPConnection>& Connection) {
  // On connect: the channels, the registry slot, then the chain over the filter channel.
  // The apartment is left last, after the chain and the socket are gone.
  const platform::TThreadApartment Apartment;
  TDSTCPChannelInternal Tcp(Connection, FRun.SessionEvents);
  TDBXFilterSocketChannel Filter(Tcp);
  Filter.Open();
  const TRegistration Registration(FRegistry, *Connection);
  TDSTCPConnectionChain Chain = FFactory(TDSTCPConnectionInfo{
      Filter, Registration.Handle(), Registration.Unregisterer(),
      FRun.BufferKBSize * defaults::kBytesPerKB, *this});
  if (!Chain.Handler) {
    Filter.Close();
    return;
  }
  Connection->ApplyKeepAlive(FRun.KeepAlive, FRun.KeepAliveTimeMs, FRun.KeepAliveIntervalMs);
  RaiseEvent(FRun.OnConnect, Filter, Registration.Handle());

  const TServeEnd End = Serve(Chain, Filter, *Connection);
  const bool Disconnected = End == TServeEnd::Disconnected;

  // On disconnect: the event, then the chain (its owner closes the session there), then
  // the channels and the socket.
  RaiseEvent(FRun.OnDisconnect, Filter, Registration.Handle());
  if (Disconnected) {
    Tcp.Unsubscribe();  // the session ends with the chain; the socket waits for the client
  }
  Chain = {};
  if (Connection->TimedOut()) {
    Notify(FRun.OnInactivityClose, Connection->RemoteAddress());
  } else if (End == TServeEnd::Refused) {
    Notify(FRun.OnRefusalClose, Connection->RemoteAddress());
  } else if (Disconnected) {
    // Closing is the client's after its disconnect request; a client that never does
    // keeps its socket only for the grace period.
    Connection->DrainUntilPeerCloses(std::chrono::milliseconds(FRun.DisconnectGraceMs));
  }
  Filter.Close();
}

TDSTCPServerTransport::TServeEnd TDSTCPServerTransport::Serve(TDSTCPConnectionChain& Chain,
                                                              TDBXFilterSocketChannel& Channel,
                                                              TDSTCPConnection& Connection) {
  // Until its first whole request has arrived, a connection lives on a deadline: a
  // client that connects and stays silent (or trickles bytes) cannot hold its thread.
  if (FRun.ConnectTimeoutMs > 0) {
    Connection.SetDeadline(std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(FRun.ConnectTimeoutMs));
  }
  bool First = true;
  // Sleeps until bytes arrive, the peer leaves or Stop closes the connection.
  while (Channel.HasPendingInput() || Connection.WaitForInput()) {
    bool Failed = false;
    bool Refused = false;
    bool More = false;
    try {
      Chain.Handler->SetUp(FRun.AuthenticationManager);
      if (Chain.BeforeBatch) {
        Chain.BeforeBatch();
      }
      More = Chain.Handler->HandleNonBlockingProtocol();
    } catch (const TDBXMidValueRefusal&) {
      // The handler has answered the refusal; the stream is out of step, so it ends. A
      // client that has gone meanwhile (a wait for room ends so) was refused nothing.
      Failed = true;
      Refused = !Channel.PeerClosed();
      More = false;
    } catch (...) {
      Failed = true;
      // Safe to drop: the handler answers every error it can answer itself; what
      // reaches us (the peer vanished, garbage where a request should start) ends the
      // connection, which is all that can be done about it.
      More = false;
    }
    if (Chain.AfterBatch) {
      try {
        Chain.AfterBatch();
      } catch (...) {
        // Safe to drop: it only clears per-thread state; the connection ends below.
        More = false;
        Failed = true;
      }
    }
    if (!More) {
      if (Refused) return TServeEnd::Refused;
      return !Failed && !Connection.TimedOut() && !Connection.CloseRequested() ? TServeEnd::Disconnected
                                                                                : TServeEnd::Other;
    }
    if (First) {
      // A whole request was served: from now on only the idle bound applies.
      First = false;
      Connection.SetDeadline(std::nullopt);
      Connection.SetIdleLimit(std::chrono::milliseconds(FRun.IdleTimeoutMs));
    }
  }
  return TServeEnd::Other;
}

void TDSTCPServerTransport::RaiseEvent(const TDSTCPConnectEvent& Event, TDbxChannel& Channel,
                                       std::int32_t Handle) {
  if (!Event) {
    return;
  }
  try {
    Event(TDSTCPConnectEventArgs{Channel, Handle});
  } catch (...) {
    // Safe to drop: the transport's own events are informative; they never stop a
    // connection.
  }
}

void TDSTCPServerTransport::Forget(const std::shared_ptr<TDSTCPConnection>& Connection) {
  std::lock_guard Guard(FConnectionsLock);
  FConnections.remove(Connection);
}

// --- Stopping --------------------------------------------------------------------------

void TDSTCPServerTransport::Stop() {
  if (!FActive) {
    return;
  }
  Shutdown();
  FActive = false;
}

void TDSTCPServerTransport::Shutdown() {
  // 1. Stop accepting: wake each accepting thread (also one waiting for a free
  //    connection thread) and wait for it; no connection is added after this.
  if (FPool) {
    FPool->CancelWaits();
  }
  for (auto& Binding : FBindings) {
    Binding->RequestClose();
  }
  for (auto& Thread : FAcceptThreads) {
    Thread.join();
  }
  FAcceptThreads.clear();
  // 2. Close every connection; each one's thread wakes and tears it down.
  std::list<std::shared_ptr<TDSTCPConnection>> Open;
  {
    std::lock_guard Guard(FConnectionsLock);
    Open = FConnections;
  }
  for (const auto& Connection : Open) {
    Connection->RequestClose();
  }
  Open.clear();
  // 3. Wait for every connection thread, and end the parked ones.
  if (FPool) {
    FPool->Shutdown();
    FPool.reset();
  }
  // 4. Free the listeners.
  FBindings.clear();
  FIPv6 = false;
}

// --- Diagnostics -----------------------------------------------------------------------

std::uint16_t TDSTCPServerTransport::BoundPort() const {
  return FBindings.empty() ? std::uint16_t{0} : FBindings.front()->Port();
}

bool TDSTCPServerTransport::ListensOnIPv6() const { return FIPv6; }

std::size_t TDSTCPServerTransport::ConnectionCount() const {
  std::lock_guard Guard(FConnectionsLock);
  return FConnections.size();
}

std::size_t TDSTCPServerTransport::ThreadCount() const { return FPool ? FPool->ThreadCount() : 0; }

std::size_t TDSTCPServerTransport::ParkedThreadCount() const {
  return FPool ? FPool->ParkedCount() : 0;
}

}  // namespace tavrin
