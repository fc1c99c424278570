#pragma once
// Settings with their defaults, in one table: the values a component starts with and
// the operator or the product may change. The transport, the server's request loop,
// the product's container, tavrin-cli and both programs' --help read them here. The
// README's "Settings and defaults" lists them. (Fixed limits that nobody sets stay with
// their code: dbx_limits.h, tcp_limits.h.)

#include <chrono>
#include <cstdint>
#include <string_view>

namespace tavrin::defaults {

// --- The server's TCP transport --------------------------------------------------------
inline constexpr std::int32_t kPort = 211;                  // the port mobile clients expect
inline constexpr std::int32_t kPoolSize = 10;               // connection threads kept parked
inline constexpr std::int32_t kMaxThreads = 0;              // connection threads at most; 0 = no bound
inline constexpr std::int32_t kBufferKBSize = 32;           // a connection's stream read and write buffers, in KB
inline constexpr std::int32_t kMinBufferKBSize = 1;         // a smaller buffer size set becomes this
inline constexpr std::int32_t kMaxBufferKBSize = 1000;      // a larger buffer size set becomes this
inline constexpr std::int32_t kBytesPerKB = 1024;           // so the default buffers hold 32768 bytes
inline constexpr std::int32_t kKeepAliveTimeMs = 300000;    // idle time before a connection is probed
inline constexpr std::int32_t kKeepAliveIntervalMs = 100;   // between probes
inline constexpr std::int32_t kMaxConnections = 1000;       // open at once; 0 = no bound
inline constexpr std::int32_t kConnectRequestTimeoutMs = 30000;  // for a new client's first whole request; 0 = none
inline constexpr std::int32_t kIdleTimeoutMs = 0;           // silence that ends a connection; 0 = none
inline constexpr std::int32_t kDisconnectGraceMs = 5000;    // after a disconnect request, before the server closes
inline constexpr std::int32_t kClientMemoryBudgetMB = 512;  // memory held for all clients together; 0 = no bound
inline constexpr std::int32_t kClientMemoryWaitMs = 5000;   // a request waits this long for room in it

// --- The product's server ---------------------------------------------------------------
inline constexpr std::int32_t kLoginDelayMaxMs = 2000;      // longest extra wait of a login answer to an
                                                            // address with 10 failures in a minute; 0 = off

// --- tavrin-cli and the project's client -----------------------------------------------
inline constexpr std::string_view kHost = "127.0.0.1";      // the server tavrin-cli asks
inline constexpr std::chrono::milliseconds kConnectTimeout{5000};  // bound on connecting and the opening probe

}  // namespace tavrin::defaults
