#pragma once
// TServerContainer1: wires the remote server. DSServer1 (the server with its registry
// and connection events), DSTCPServerTransport1 (TCP, on the default port unless told otherwise)
// and DSServerClass1 (the registration of TvxServerMethods8765, one instance per client
// session). Creating the container loads it, and loading starts the server, so the
// port is open once the constructor returns; a failure to start (a busy port) undoes
// the start and is raised from the constructor.
//
// The container writes the activity log's connection and disconnection lines.
//
// Threading: created and destroyed on the program's main thread; the log handlers run
// on connection threads.
// Lifetime: Services must outlive the container.

#include <cstdint>

#include "server/component/server.h"
#include "server/methods/server_class.h"
#include "product/server_methods.h"
#include "server/tcp/tcp_server_link.h"
#include "vocabulary/defaults.h"

namespace tavrin {

namespace TServerContainerTexts {
inline constexpr char kServerName[] = "DSServer1";
inline constexpr char kConnected[] = " - Conex\u00e3o do endere\u00e7o ";
inline constexpr char kDisconnected[] = " - Desconectado do IP ";
// A client turned away at the connection maximum: kRefused + address + kRefusedReason.
inline constexpr char kRefused[] = " - Conex\u00e3o recusada do endere\u00e7o ";
inline constexpr char kRefusedReason[] = ": limite de conex\u00f5es atingido";
// A connection the server closed because it stayed silent: kClosedIdle + address.
inline constexpr char kClosedIdle[] = " - Conex\u00e3o encerrada por inatividade do endere\u00e7o ";
// A connection the server closed after refusing a value in the middle of it (too large
// for its cap or for the memory left): kClosedRefused + address + kClosedRefusedReason.
inline constexpr char kClosedRefused[] = " - Conex\u00e3o encerrada do endere\u00e7o ";
inline constexpr char kClosedRefusedReason[] = ": pedido acima do limite";
// A request refused because all clients together hold the memory the server allows them
// (after its wait), at most once per second: kRequestRefused + address + kMemoryReason.
inline constexpr char kRequestRefused[] = " - Pedido recusado do endere\u00e7o ";
inline constexpr char kMemoryReason[] = ": limite de mem\u00f3ria atingido";
}  // namespace TServerContainerTexts

struct TServerContainerSettings {
  // The TCP port listened on; 0 lets the system choose one (tests).
  std::int32_t Port = defaults::kPort;
  // Connections open at once; 0 = no bound.
  std::int32_t MaxConnections = defaults::kMaxConnections;
  // Time a new client has for its first whole request, and the silence that ends a
  // connection after it, in ms; 0 = none.
  std::int32_t ConnectTimeoutMs = defaults::kConnectRequestTimeoutMs;
  std::int32_t IdleTimeoutMs = defaults::kIdleTimeoutMs;
  // Longest extra wait before a login answer to an address that failed too often
  // lately, in ms; 0 = never slowed.
  std::int32_t LoginDelayMaxMs = defaults::kLoginDelayMaxMs;
  // Memory held for all clients together, in MB (0 = no bound), and how long a request
  // waits for room in it before it is refused.
  std::int32_t ClientMemoryMB = defaults::kClientMemoryBudgetMB;
  std::int32_t ClientMemoryWaitMs = defaults::kClientMemoryWaitMs;
};

class TServerContainer1 {
 public:
  TServerContainer1(const TServerMethodsServices& Services, const TServerContainerSettings& Settings = {});
  // Stops the server: no more connections, every connection closed and its thread
  // joined, the registry closed, and the session's database connections given back.
  ~TServerContainer1();
  TServerContainer1(const TServerContainer1&) = delete;
  TServerContainer1& operator=(const TServerContainer1&) = delete;

  // The port actually listened on.
  std::uint16_t BoundPort() const { return DSTCPServerTransport1.Transport().BoundPort(); }

  void DSServer1Connect(const TDSConnectEventObject& Event);
  void DSServer1Disconnect(const TDSConnectEventObject& Event);
  const TDSClassDeclaration* DSServerClass1GetClass() const { return &FServerMethods; }

  // Components, in the order they are created.
  TDSServer DSServer1;
  TDSTCPServerLink DSTCPServerTransport1;
  TDSServerClass DSServerClass1;

 private:
  void Loaded();

  const TServerMethodsServices& FServices;
  TLoginThrottle FLoginThrottle;
  // FServices with the container's login throttle; the instances are made on these.
  const TServerMethodsServices FMethodServices;
  const TDSClassDeclaration FServerMethods;
};

}  // namespace tavrin
