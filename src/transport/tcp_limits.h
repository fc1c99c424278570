#pragma once
// Every fixed limit and text of the TCP transport, in one place; the defaults of its
// settings are in vocabulary/defaults.h.

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace tavrin::tcp {

// --- Ranges --------------------------------------------------------------------------------
// (The settings' defaults are in vocabulary/defaults.h.)
inline constexpr std::int32_t kMaxPort = 65535;

// --- Fixed sizes -------------------------------------------------------------------------
inline constexpr int kListenBacklog = 15;
// Refused clients are reported at most this often, so a flood cannot flood the log.
inline constexpr std::chrono::seconds kRefusalReportInterval{1};                    // pending connections per binding
inline constexpr std::int32_t kRegistryInitialSlots = 10;    // slot 0 is never used
inline constexpr std::int32_t kRegistryGrowSlots = 32;
// Bytes read at once when a connection wakes for input, kept for the request reader: a
// whole small request in the one read that also tells bytes from end of stream.
inline constexpr std::size_t kEarlyReadBytes = 4096;
// Tries at finding one ephemeral port free on both IPv4 and IPv6 (port 0 only).
inline constexpr int kEphemeralBindAttempts = 8;

// --- Filter negotiation ------------------------------------------------------------------
inline constexpr std::size_t kFilterHeaderBytes = 5;
// The client asks which filters the server uses.
inline constexpr std::array<std::uint8_t, kFilterHeaderBytes> kFilterProbe{0x05, 0x05, 0x05, 0x05,
                                                                          0x05};
// The server's answer when it has no filters: plain bytes follow.
inline constexpr std::array<std::uint8_t, kFilterHeaderBytes> kNoFiltersAnswer{0x06, 0x00, 0x00,
                                                                              0x00, 0x00};

// --- Texts -------------------------------------------------------------------------------
inline constexpr std::string_view kProtocolName = "tcp/ip";
inline constexpr std::string_view kConnectionLost = "Connection lost";
inline constexpr std::string_view kAddressInUse =
    "Could not bind socket. Address and port are already in use.";
// Said when the system refuses the bind for lack of rights (ports below 1024 on most
// systems need administrator or root rights, or a capability to bind them).
inline constexpr std::string_view kBindNotPermitted =
    "Could not bind socket. Permission to listen on this port was refused; "
    "ports below 1024 need administrator rights.";
inline constexpr std::string_view kBindFailed = "Could not bind socket: ";
inline constexpr std::string_view kMaxThreadsExceeded =
    "The maximum number of threads for this scheduler is exceeded.";
inline constexpr std::string_view kIPImplementationWhileActive =
    "IPImplementationID cannot be change while transport is active";
inline constexpr std::string_view kUnknownIPImplementation = "Unknown socket implementation: ";
inline constexpr std::string_view kFiltersNotSupported =
    "Transport filters are not supported by this server";
inline constexpr std::string_view kInvalidPort = "Port must lie within 0..65535";

}  // namespace tavrin::tcp
