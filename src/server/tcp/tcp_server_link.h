#pragma once
// A TCP transport attached to a server: every connection it accepts is served by the
// server's request loop over the server's registry and events, and its channels learn
// of sessions closed through the process's session manager.
//
// Threading: as the transport's: settings, Start and Stop on the owning thread.
// Lifetime: Server must outlive the link.

#include <functional>
#include <string>

#include "server/component/server.h"
#include "server/tcp/session_manager_events.h"
#include "transport/tcp_server_transport.h"
#include "vocabulary/client_memory.h"
#include "vocabulary/defaults.h"

namespace tavrin {

class TDSTCPServerLink : public IDSServerTransport {
 public:
  static constexpr std::int64_t kBytesPerMB = 1024 * 1024;
  // Attaches itself to Server, which starts it with the server.
  explicit TDSTCPServerLink(TDSServer& Server);
  // Stops the transport.
  ~TDSTCPServerLink() override;
  TDSTCPServerLink(const TDSTCPServerLink&) = delete;
  TDSTCPServerLink& operator=(const TDSTCPServerLink&) = delete;

  // The transport's settings (port, pool, buffers, keep-alive) and diagnostics.
  TDSTCPServerTransport& Transport() { return FTransport; }
  const TDSTCPServerTransport& Transport() const { return FTransport; }

  // The memory all clients together may make the server hold, in bytes (0: no bound),
  // and how long a request waits for room before it is refused. Set before Start.
  void SetClientMemoryBudget(std::int64_t Bytes, std::chrono::milliseconds Wait) noexcept {
    FMemoryBudget.SetLimit(Bytes, Wait);
  }
  const TServerMemoryBudget& ClientMemoryBudget() const { return FMemoryBudget; }
  // Told a client's address when a request of it is refused for want of room in that
  // memory, at most once per second. Set before Start; must not raise.
  void SetOnClientMemoryRefusal(std::function<void(const std::string& Client)> OnRefusal) {
    FMemoryBudget.SetOnRefusal(std::move(OnRefusal));
  }

  void Start() override { FTransport.Start(); }
  void Stop() override { FTransport.Stop(); }

 private:
  TDSServer& FServer;
  TDSSessionManagerEvents FSessionEvents;
  TServerMemoryBudget FMemoryBudget{defaults::kClientMemoryBudgetMB * kBytesPerMB,
                                    std::chrono::milliseconds(defaults::kClientMemoryWaitMs)};
  TDSTCPServerTransport FTransport;  // last: stopped before what its connections use
};

}  // namespace tavrin
