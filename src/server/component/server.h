#pragma once
// TDSServer: the remote server component. It owns the method registry (the built-in
// classes first, then the server class components attached to it), carries the
// connection-level events every connection fires, and starts and stops the transports
// attached to it. A transport knows sockets; the server knows what serves a connection.
//
// Threading: settings, AddServerClass, AddTransport, Start and Stop belong to the
// owning thread. Between Start and Stop the registry is read-only and the events are
// called from connection threads.
// Lifetime: transports and server class components must outlive the server's run
// (Stop, or the destructor, detaches from them).

#include <cstdint>
#include <string>
#include <vector>

#include "server/methods/server_class.h"
#include "server/methods/server_events.h"
#include "server/methods/server_method_provider.h"

namespace tavrin {

// What the server needs of a transport attached to it.
class IDSServerTransport {
 public:
  virtual ~IDSServerTransport() = default;
  // Starts serving connections for the server; raises when it cannot (the transport is
  // then stopped).
  virtual void Start() = 0;
  // Stops accepting, closes every connection and waits for its threads.
  virtual void Stop() = 0;
};

class TDSServer {
 public:
  static constexpr std::int32_t kDefaultChannelQueueSize = 100;
  static constexpr std::int32_t kDefaultChannelResponseTimeoutMs = 30000;

  // Name names the server to clients (DSAdmin.GetDSServerName).
  explicit TDSServer(std::string Name);
  // Stops.
  ~TDSServer();
  TDSServer(const TDSServer&) = delete;
  TDSServer& operator=(const TDSServer&) = delete;

  const std::string& Name() const { return FName; }

  // Set before Start; read by every connection from Start to Stop.
  TDSServerEvents Events;
  // Whether the owner starts the server once it has been set up.
  bool AutoStart = true;
  // Settings of callback channels, which this server does not offer; kept so that the
  // configuration reads as set up.
  std::int32_t ChannelQueueSize = kDefaultChannelQueueSize;
  std::int32_t ChannelResponseTimeout = kDefaultChannelResponseTimeoutMs;

  // Only while stopped. The component is registered at Start, in the order added.
  void AddServerClass(const TDSServerClass& ServerClass);
  // Only while stopped. Started in the order added, stopped in reverse.
  void AddTransport(IDSServerTransport& Transport);

  // Builds the registry, then starts every transport. When a step fails, the transports
  // already started are stopped, the registry is closed, and the error is raised again.
  // Does nothing when started.
  void Start();
  // Stops the transports (newest first), then closes the registry. Does nothing when
  // stopped.
  void Stop() noexcept;
  bool Started() const { return FStarted; }

  // The registry every connection prepares its methods in.
  TDSServerMethodProvider& MethodProvider() { return FMethodProvider; }

 private:
  const std::string FName;
  TDSServerMethodProvider FMethodProvider;
  std::vector<IDSServerTransport*> FTransports;
  bool FStarted = false;
};

}  // namespace tavrin
