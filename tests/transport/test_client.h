#pragma once
// A loopback client for the transport tests. Every wait is bounded, so a server that
// misbehaves fails the test instead of hanging it.

#include <asio.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "support/eventually.h"

namespace tavrin::testing {

using namespace std::chrono_literals;

// How long a test waits for something that should happen at once.
inline constexpr std::chrono::milliseconds kPatience = 5s;
// How long a test watches for something that should not happen.
inline constexpr std::chrono::milliseconds kQuietTime = 300ms;

class TTestClient {
 public:
  TTestClient() : FSocket(FIo) {}

  // Connects to the loopback address of the family asked for. False on failure.
  bool Connect(std::uint16_t Port, bool IPv6 = false) {
    const asio::ip::address Loopback = IPv6 ? asio::ip::address(asio::ip::address_v6::loopback())
                                            : asio::ip::address(asio::ip::address_v4::loopback());
    std::error_code Error;
    FSocket.connect(asio::ip::tcp::endpoint(Loopback, Port), Error);
    return !Error;
  }

  void Send(std::string_view Bytes) {
    std::error_code Ignored;  // a server that closed shows in the next read
    asio::write(FSocket, asio::buffer(Bytes.data(), Bytes.size()), Ignored);
  }

  // What arrived within Patience, up to Count bytes; fewer when the time ran out or the
  // server closed.
  std::string Read(std::size_t Count, std::chrono::milliseconds Patience = kPatience) {
    std::string Got;
    const auto Deadline = std::chrono::steady_clock::now() + Patience;
    while (Got.size() < Count) {
      char Buffer[4096];
      const auto Some = ReadSome(Buffer, std::min(sizeof Buffer, Count - Got.size()), Deadline);
      if (!Some || *Some == 0) {
        break;
      }
      Got.append(Buffer, *Some);
    }
    return Got;
  }

  // What arrived until it ended with Suffix, or until Patience ran out or the server
  // closed (then without Suffix at its end).
  std::string ReadUntil(std::string_view Suffix, std::chrono::milliseconds Patience = kPatience) {
    std::string Got;
    const auto Deadline = std::chrono::steady_clock::now() + Patience;
    while (!Got.ends_with(Suffix)) {
      char Byte = 0;
      const auto Some = ReadSome(&Byte, 1, Deadline);
      if (!Some || *Some == 0) {
        break;
      }
      Got += Byte;
    }
    return Got;
  }

  // One line without its line feed, or nothing when none came within Patience.
  std::optional<std::string> ReadLine(std::chrono::milliseconds Patience = kPatience) {
    std::string Line;
    const auto Deadline = std::chrono::steady_clock::now() + Patience;
    for (;;) {
      char Byte = 0;
      const auto Some = ReadSome(&Byte, 1, Deadline);
      if (!Some || *Some == 0) {
        return std::nullopt;
      }
      if (Byte == '\n') {
        return Line;
      }
      Line += Byte;
    }
  }

  // Sends a line and returns the reply line.
  std::optional<std::string> Ask(std::string_view Line) {
    Send(std::string(Line) + "\n");
    return ReadLine();
  }

  // True when the server closed the connection within Patience (bytes still in flight
  // are skipped).
  bool ClosedByServer(std::chrono::milliseconds Patience = kPatience) {
    const auto Deadline = std::chrono::steady_clock::now() + Patience;
    for (;;) {
      char Buffer[4096];
      const auto Some = ReadSome(Buffer, sizeof Buffer, Deadline);
      if (!Some) {
        return false;
      }
      if (*Some == 0) {
        return true;
      }
    }
  }

  // True when nothing arrives (and the connection stays open) for Time.
  bool Quiet(std::chrono::milliseconds Time = kQuietTime) {
    char Byte = 0;
    return !ReadSome(&Byte, 1, std::chrono::steady_clock::now() + Time).has_value();
  }

  // Closes with a reset instead of an orderly close.
  void Reset() {
    std::error_code Ignored;
    FSocket.set_option(asio::socket_base::linger(true, 0), Ignored);
    FSocket.close(Ignored);
  }

  void Close() {
    std::error_code Ignored;
    FSocket.close(Ignored);
  }

  std::uint16_t LocalPort() const { return FSocket.local_endpoint().port(); }

 private:
  // Bytes read (0 = the server closed or reset), or nothing when the deadline passed.
  std::optional<std::size_t> ReadSome(char* Buffer, std::size_t Size,
                                      std::chrono::steady_clock::time_point Deadline) {
    bool Done = false;
    std::error_code Result;
    std::size_t Count = 0;
    FSocket.async_read_some(asio::buffer(Buffer, Size),
                            [&](const std::error_code& Error, std::size_t Bytes) {
                              Done = true;
                              Result = Error;
                              Count = Bytes;
                            });
    FIo.restart();
    FIo.run_until(Deadline);
    if (!Done) {
      std::error_code Ignored;
      FSocket.cancel(Ignored);
      FIo.restart();
      FIo.run();
      if (Result == asio::error::operation_aborted) {
        return std::nullopt;
      }
    }
    return Result ? 0 : Count;
  }

  asio::io_context FIo;
  asio::ip::tcp::socket FSocket;
};

}  // namespace tavrin::testing
