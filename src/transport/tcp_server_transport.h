#pragma once
// Puts the server on the network: listens on a TCP port (IPv4, and IPv6 where the
// system offers it), gives every accepted connection a pooled thread, builds the
// connection's channels and asks the protocol handler factory for the chain that
// serves it, drives that chain while bytes arrive, and tears it down when the
// connection ends.
//
// Threading: settings, Start, Stop and the diagnostics belong to the owning thread
// (never a connection thread: Stop waits for them). Settings are taken at Start;
// changing one while active affects the next Start only.
// Shutdown order (Stop): stop accepting and join the accepting threads; close every
// connection; wait for every connection thread; end the pool; free the listeners.
// Locks: the connection list's, the registry's, the pool's and each channel's session
// link are all leaves: none is held while another is taken or while anything outside
// is called (factory, handlers, events, session layer).

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dbxstream/channel.h"
#include "transport/connection_chain.h"
#include "transport/connection_registry.h"
#include "transport/keep_alive.h"
#include "transport/session_events.h"
#include "transport/tcp_limits.h"
#include "vocabulary/defaults.h"

namespace tavrin {

class TDSCustomAuthenticationManager;
class TDSTCPBinding;
class TDSTCPConnection;
class TDSThreadPoolScheduler;
class TDBXFilterSocketChannel;
class TDSTCPChannelInternal;

// What the transport's own connection events are told. Valid during the call only.
struct TDSTCPConnectEventArgs {
  TDbxChannel& Channel;
  std::int32_t ConnectionHandle;
};
// Called on the connection's thread; an exception from it is ignored.
using TDSTCPConnectEvent = std::function<void(const TDSTCPConnectEventArgs&)>;

// Told of faults met on an accepting thread (the thread bound reached, a failed
// accept). Called on that thread; must not raise.
using TDSListenerErrorEvent = std::function<void(const std::string& Message)>;

// Told a client's IP address when the transport refuses or closes its connection on its
// own (too many connections, a connection silent too long, a value refused mid-way). Called on the accepting or
// the connection's thread; must not raise.
using TDSConnectionNoticeEvent = std::function<void(const std::string& Address)>;

class TDSTCPServerTransport {
 public:
  // Factory must be set; it builds each connection's protocol handler.
  explicit TDSTCPServerTransport(TDSProtocolHandlerFactory Factory);
  // Stops first.
  ~TDSTCPServerTransport();

  TDSTCPServerTransport(const TDSTCPServerTransport&) = delete;
  TDSTCPServerTransport& operator=(const TDSTCPServerTransport&) = delete;

  // --- Settings (their defaults: vocabulary/defaults.h) --------------------------------
  // TCP port listened on; 0 lets the system choose a free one (see BoundPort). Raises
  // TDBXError outside 0..65535.
  std::int32_t Port() const { return FSettings.Port; }
  void SetPort(std::int32_t Value);
  // Connection threads kept parked.
  std::int32_t PoolSize() const { return FSettings.PoolSize; }
  void SetPoolSize(std::int32_t Value) { FSettings.PoolSize = Value; }
  // Upper bound of busy connection threads; 0 = no bound.
  std::int32_t MaxThreads() const { return FSettings.MaxThreads; }
  void SetMaxThreads(std::int32_t Value) { FSettings.MaxThreads = Value; }
  // Stream buffer size in KB, clamped to the range of the defaults.
  std::int32_t BufferKBSize() const { return FSettings.BufferKBSize; }
  void SetBufferKBSize(std::int32_t Value);
  // Names of transport filters. This server implements none: Start refuses a
  // non-empty list rather than talk plain bytes to a client expecting filtered ones.
  const std::vector<std::string>& Filters() const { return FSettings.Filters; }
  void SetFilters(std::vector<std::string> Value) { FSettings.Filters = std::move(Value); }
  // Handed to each protocol handler's SetUp; not owned; may be null (the default).
  TDSCustomAuthenticationManager* AuthenticationManager() const {
    return FSettings.AuthenticationManager;
  }
  void SetAuthenticationManager(TDSCustomAuthenticationManager* Value) {
    FSettings.AuthenticationManager = Value;
  }
  void SetOnConnect(TDSTCPConnectEvent Value) { FSettings.OnConnect = std::move(Value); }
  void SetOnDisconnect(TDSTCPConnectEvent Value) { FSettings.OnDisconnect = std::move(Value); }
  void SetOnListenerError(TDSListenerErrorEvent Value) { FSettings.OnListenerError = std::move(Value); }
  // Connections open at most; a client past it is accepted and closed at once, and
  // OnConnectionRefused is told, at most once per second. 0 = no bound.
  std::int32_t MaxConnections() const { return FSettings.MaxConnections; }
  void SetMaxConnections(std::int32_t Value) { FSettings.MaxConnections = Value; }
  void SetOnConnectionRefused(TDSConnectionNoticeEvent Value) { FSettings.OnConnectionRefused = std::move(Value); }
  // Time a new connection has to deliver its first whole request (a probe alone is not
  // one), in ms; past it the connection is closed and OnInactivityClose told. 0 = none.
  std::int32_t ConnectTimeout() const { return FSettings.ConnectTimeoutMs; }
  void SetConnectTimeout(std::int32_t Ms) { FSettings.ConnectTimeoutMs = Ms; }
  // Time a connection may stay without any byte arriving or leaving, in ms, after its
  // first request; past it the connection is closed as above. 0 (default) = no bound.
  std::int32_t IdleTimeout() const { return FSettings.IdleTimeoutMs; }
  void SetIdleTimeout(std::int32_t Ms) { FSettings.IdleTimeoutMs = Ms; }
  void SetOnInactivityClose(TDSConnectionNoticeEvent Value) { FSettings.OnInactivityClose = std::move(Value); }
  // Told when the server ends a connection after refusing a value in the middle of it
  // (its error reply sent first): the rest of the value would read as requests.
  void SetOnRefusalClose(TDSConnectionNoticeEvent Value) { FSettings.OnRefusalClose = std::move(Value); }
  // After the client's disconnect request no request is read; the socket is left to
  // the client to close, and closed by the server after this many ms.
  std::int32_t DisconnectGrace() const { return FSettings.DisconnectGraceMs; }
  void SetDisconnectGrace(std::int32_t Ms) { FSettings.DisconnectGraceMs = Ms; }
  // TCP keep-alive: kaDefault (default) leaves sockets as the system sets them.
  TKeepAliveEnablement KeepAliveEnablement() const { return FSettings.KeepAlive; }
  void SetKeepAliveEnablement(TKeepAliveEnablement Value) { FSettings.KeepAlive = Value; }
  std::int32_t KeepAliveTime() const { return FSettings.KeepAliveTimeMs; }  // ms
  void SetKeepAliveTime(std::int32_t Ms) { FSettings.KeepAliveTimeMs = Ms; }
  std::int32_t KeepAliveInterval() const { return FSettings.KeepAliveIntervalMs; }  // ms
  void SetKeepAliveInterval(std::int32_t Ms) { FSettings.KeepAliveIntervalMs = Ms; }
  // Which socket implementation to use; only the default one (empty) exists. Raises
  // "IPImplementationID cannot be change while transport is active" while started.
  const std::string& IPImplementationID() const { return FSettings.IPImplementationID; }
  void SetIPImplementationID(std::string Value);
  // Where channels learn that their session was closed elsewhere; not owned; must
  // outlive the transport's connections. Null (default): no session link.
  void SetSessionEvents(TDSSessionEvents* Value) { FSettings.SessionEvents = Value; }

  // --- Life ----------------------------------------------------------------------------
  // Binds, starts the pool's parked threads and one accepting thread per binding. Does
  // nothing when active. On failure raises TDBXError ("Could not bind socket. Address
  // and port are already in use.", the refused-privilege text, or another reason), or
  // std::system_error when the system refuses a thread, and stays stopped.
  void Start();
  // Stops accepting, closes every connection, waits for every thread. Does nothing when
  // stopped.
  void Stop();
  bool Active() const { return FActive; }

  // --- Diagnostics (owning thread; 0 when stopped) -------------------------------------
  std::uint16_t BoundPort() const;       // the port listened on
  bool ListensOnIPv6() const;            // an IPv6 binding was made
  std::size_t ConnectionCount() const;   // connections accepted and not yet torn down
  std::size_t ThreadCount() const;       // connection threads alive, parked or busy
  std::size_t ParkedThreadCount() const;
  const TDSConnectionRegistry& ConnectionRegistry() const { return FRegistry; }

 private:
  struct TSettings {
    std::int32_t Port = defaults::kPort;
    std::int32_t PoolSize = defaults::kPoolSize;
    std::int32_t MaxThreads = defaults::kMaxThreads;
    std::int32_t BufferKBSize = defaults::kBufferKBSize;
    std::vector<std::string> Filters;
    TDSCustomAuthenticationManager* AuthenticationManager = nullptr;
    TDSTCPConnectEvent OnConnect;
    TDSTCPConnectEvent OnDisconnect;
    TDSListenerErrorEvent OnListenerError;
    std::int32_t MaxConnections = defaults::kMaxConnections;
    TDSConnectionNoticeEvent OnConnectionRefused;
    std::int32_t ConnectTimeoutMs = defaults::kConnectRequestTimeoutMs;
    std::int32_t IdleTimeoutMs = defaults::kIdleTimeoutMs;
    TDSConnectionNoticeEvent OnInactivityClose;
    TDSConnectionNoticeEvent OnRefusalClose;
    std::int32_t DisconnectGraceMs = defaults::kDisconnectGraceMs;
    TKeepAliveEnablement KeepAlive = TKeepAliveEnablement::kaDefault;
    std::int32_t KeepAliveTimeMs = defaults::kKeepAliveTimeMs;
    std::int32_t KeepAliveIntervalMs = defaults::kKeepAliveIntervalMs;
    std::string IPImplementationID;
    TDSSessionEvents* SessionEvents = nullptr;
  };

  void Bind();
  void AcceptLoop(TDSTCPBinding& Binding);
  void HandOver(const std::shared_ptr<TDSTCPConnection>& Connection);
  void RunConnection(const std::shared_ptr<TDSTCPConnection>& Connection) noexcept;
  void ServeConnection(const std::shared_ptr<TDSTCPConnection>& Connection);
  // How serving a connection ended.
  enum class TServeEnd { Disconnected, Refused, Other };
  // Disconnected: the client's disconnect request (no failure); Refused: a value refused
  // in the middle of it.
  TServeEnd Serve(TDSTCPConnectionChain& Chain, TDBXFilterSocketChannel& Channel,
                  TDSTCPConnection& Connection);
  // Whether a new connection fits under MaxConnections.
  bool HasRoomForConnection() const;
  void ReportRefusal(const std::string& Address);
  void Notify(const TDSConnectionNoticeEvent& Event, const std::string& Address) const;
  void RaiseEvent(const TDSTCPConnectEvent& Event, TDbxChannel& Channel, std::int32_t Handle);
  void ReportListenerError(const std::string& Message) const;
  void Forget(const std::shared_ptr<TDSTCPConnection>& Connection);
  void Shutdown();

  const TDSProtocolHandlerFactory FFactory;
  TSettings FSettings;  // owning thread only
  TSettings FRun;       // taken at Start; read-only while active, so threads read it freely
  bool FActive = false;

  std::vector<std::unique_ptr<TDSTCPBinding>> FBindings;
  bool FIPv6 = false;
  std::vector<std::thread> FAcceptThreads;
  std::unique_ptr<TDSThreadPoolScheduler> FPool;
  TDSConnectionRegistry FRegistry;  // has its own lock

  mutable std::mutex FConnectionsLock;  // guards FConnections; a leaf lock
  std::list<std::shared_ptr<TDSTCPConnection>> FConnections;

  std::mutex FRefusalLock;  // guards FLastRefusalReport; a leaf lock
  std::chrono::steady_clock::time_point FLastRefusalReport;
  bool FRefusalReported = false;
};

}  // namespace tavrin
