#pragma once
// A channel that passes every byte through to another one and writes what went each
// way to a text stream as it happens, one line per write and per read:
//   C: <bytes the client sent>
//   S: <bytes the client received>
// Bytes from 0x20 to 0x7E stand for themselves, except '|'; every run of other bytes
// (and '|') is written in hexadecimal between two '|', as in {"data":[3,|22|Lo]}. The
// form is exact: TraceBytes gives back the bytes of a line, so a trace can be replayed.
//
// Threading: one thread at a time, like the channel it wraps.

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "dbxstream/channel.h"

namespace tavrin {

inline constexpr std::string_view kTraceFromClient = "C: ";
inline constexpr std::string_view kTraceFromServer = "S: ";

// The text form of Bytes described above.
std::string TraceText(std::span<const std::uint8_t> Bytes);

// The bytes a text form stands for; nothing when Text is not one (an unclosed or empty
// hexadecimal run, a digit pair that is not hexadecimal, a byte outside 0x20..0x7E).
std::optional<std::string> TraceBytes(std::string_view Text);

// Writes Prefix, the text form of Bytes and a line feed, and flushes.
void WriteTraceLine(std::ostream& Trace, std::string_view Prefix, std::span<const std::uint8_t> Bytes);

class TDBXTracingChannel : public TDbxChannel {
 public:
  // Inner and Trace must outlive the channel.
  TDBXTracingChannel(TDbxChannel& Inner, std::ostream& Trace) : FInner(Inner), FTrace(Trace) {}

  // Reads from the inner channel and traces what arrived.
  std::int32_t Read(std::span<std::uint8_t> Buffer) override;
  // Writes to the inner channel and traces what it sent; nothing is traced when the
  // write raises.
  void Write(std::span<const std::uint8_t> Bytes) override;

  bool ConnectionLost() const override { return FInner.ConnectionLost(); }
  const TDBXChannelInfo& ChannelInfo() const override { return FInner.ChannelInfo(); }

 private:
  TDbxChannel& FInner;
  std::ostream& FTrace;
};

}  // namespace tavrin
