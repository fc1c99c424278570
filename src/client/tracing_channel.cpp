#include "client/tracing_channel.h"

namespace tavrin {

namespace {

constexpr char kHexRunMark = '|';
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool StandsForItself(std::uint8_t Byte) { return Byte >= 0x20 && Byte <= 0x7E && Byte != kHexRunMark; }

int HexValue(char Digit) {
  if (Digit >= '0' && Digit <= '9') return Digit - '0';
  if (Digit >= 'A' && Digit <= 'F') return Digit - 'A' + 10;
  if (Digit >= 'a' && Digit <= 'f') return Digit - 'a' + 10;
  return -1;
}

}  // namespace

std::string TraceText(std::span<const std::uint8_t> Bytes) {
  std::string Text;
  Text.reserve(Bytes.size());
  bool InRun = false;
  for (const std::uint8_t Byte : Bytes) {
    if (StandsForItself(Byte)) {
      if (InRun) Text += kHexRunMark;
      InRun = false;
      Text += static_cast<char>(Byte);
      continue;
    }
    Text += InRun ? ' ' : kHexRunMark;
    InRun = true;
    Text += kHexDigits[Byte >> 4];
    Text += kHexDigits[Byte & 0x0F];
  }
  if (InRun) Text += kHexRunMark;
  return Text;
}

std::optional<std::string> TraceBytes(std::string_view Text) {
  std::string Bytes;
  std::size_t At = 0;
  while (At < Text.size()) {
    const auto Char = static_cast<std::uint8_t>(Text[At]);
    if (Char != kHexRunMark) {
      if (!StandsForItself(Char)) return std::nullopt;
      Bytes += Text[At++];
      continue;
    }
    const std::size_t End = Text.find(kHexRunMark, At + 1);
    if (End == std::string_view::npos || End == At + 1) return std::nullopt;
    // Pairs of digits separated by single blanks.
    std::string_view Run = Text.substr(At + 1, End - At - 1);
    if (Run.size() % 3 != 2) return std::nullopt;
    for (std::size_t Pair = 0; Pair < Run.size(); Pair += 3) {
      const int High = HexValue(Run[Pair]);
      const int Low = HexValue(Run[Pair + 1]);
      if (High < 0 || Low < 0 || (Pair + 2 < Run.size() && Run[Pair + 2] != ' ')) return std::nullopt;
      Bytes += static_cast<char>(High * 16 + Low);
    }
    At = End + 1;
  }
  return Bytes;
}

void WriteTraceLine(std::ostream& Trace, std::string_view Prefix, std::span<const std::uint8_t> Bytes) {
  Trace << Prefix << TraceText(Bytes) << '\n';
  Trace.flush();
}

std::int32_t TDBXTracingChannel::Read(std::span<std::uint8_t> Buffer) {
  const std::int32_t Count = FInner.Read(Buffer);
  if (Count > 0) WriteTraceLine(FTrace, kTraceFromServer, Buffer.first(static_cast<std::size_t>(Count)));
  return Count;
}

void TDBXTracingChannel::Write(std::span<const std::uint8_t> Bytes) {
  FInner.Write(Bytes);
  WriteTraceLine(FTrace, kTraceFromClient, Bytes);
}

}  // namespace tavrin
