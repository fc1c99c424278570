#pragma once
// A TCP transport attached to a server: every connection it accepts is served by the
// server's request loop over the server's registry and events, and its channels learn
// of sessions closed through the process's session manager.
//
// Threading: as the transport's: settings, Start and Stop on the owning thread.
// Lifetime: Server must outlive the link.

#include "server/component/server.h"
#include "server/tcp/session_manager_events.h"
#include "transport/tcp_server_transport.h"

namespace tavrin {

class TDSTCPServerLink : public IDSServerTransport {
 public:
  // Attaches itself to Server, which starts it with the server.
  explicit TDSTCPServerLink(TDSServer& Server);
  // Stops the transport.
  ~TDSTCPServerLink() override;
  TDSTCPServerLink(const TDSTCPServerLink&) = delete;
  TDSTCPServerLink& operator=(const TDSTCPServerLink&) = delete;

  // The transport's settings (port, pool, buffers, keep-alive) and diagnostics.
  TDSTCPServerTransport& Transport() { return FTransport; }
  const TDSTCPServerTransport& Transport() const { return FTransport; }

  void Start() override { FTransport.Start(); }
  void Stop() override { FTransport.Stop(); }

 private:
  TDSServer& FServer;
  TDSSessionManagerEvents FSessionEvents;
  TDSTCPServerTransport FTransport;  // last: stopped before what its connections use
};

}  // namespace tavrin
