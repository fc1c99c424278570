#include "shell/address_discovery.h"

#include <cstdint>
#include <limits>

#include "shell/shell_constants.h"

namespace tavrin {
namespace {

constexpr char kPartSeparator = '.';
constexpr std::int64_t kNotANumber = -1;     // what a part that does not convert counts as
constexpr std::int64_t kLargestPart = 255;
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();

int DigitValue(char C, int Base) {
  int Value = Base;  // no digit
  if (C >= '0' && C <= '9') Value = C - '0';
  if (C >= 'a' && C <= 'f') Value = C - 'a' + 10;
  if (C >= 'A' && C <= 'F') Value = C - 'A' + 10;
  return Value < Base ? Value : -1;
}

// The platform's ordinary text-to-integer conversion; kNotANumber for a text that does
// not convert to a signed 32-bit integer.
std::int64_t ToInteger(std::string_view Text) {
  while (!Text.empty() && Text.front() == ' ') Text.remove_prefix(1);
  bool Negative = false;
  if (!Text.empty() && (Text.front() == '+' || Text.front() == '-')) {
    Negative = Text.front() == '-';
    Text.remove_prefix(1);
  }
  int Base = 10;
  if (Text.starts_with('$') || Text.starts_with('x') || Text.starts_with('X')) {
    Base = 16;
    Text.remove_prefix(1);
  } else if (Text.starts_with("0x") || Text.starts_with("0X")) {
    Base = 16;
    Text.remove_prefix(2);
  }
  if (Text.empty()) return kNotANumber;
  std::int64_t Value = 0;
  for (const char C : Text) {
    const int Digit = DigitValue(C, Base);
    if (Digit < 0) return kNotANumber;
    Value = Value * Base + Digit;
    // Past the range of the result (a negative number may reach one further).
    if (Value > kInt32Max + 1) return kNotANumber;
  }
  Value = Negative ? -Value : Value;
  return Value < kInt32Min || Value > kInt32Max ? kNotANumber : Value;
}

bool IsTrimmed(char C) { return static_cast<unsigned char>(C) <= ' '; }

std::string_view TrimControls(std::string_view Text) {
  while (!Text.empty() && IsTrimmed(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsTrimmed(Text.back())) Text.remove_suffix(1);
  return Text;
}

}  // namespace

std::string ObterIPLocal(platform::IHostAddresses& Host) {
  return Host.FirstHostIPv4().value_or(std::string(shell::kLanAddressUnknown));
}

std::optional<std::string> ObterIPInternet(platform::IHttpGet& Http,
                                           std::span<const std::string> ServiceUrls) {
  for (const std::string& Url : ServiceUrls) {
    // The answer's bytes are compared as they come: any byte outside ASCII makes the
    // text invalid in any code page, so no decoding is needed to judge it.
    const std::optional<std::string> Body = Http.Get(Url, Url);
    if (!Body || Body->empty()) continue;
    const std::string_view Answer = TrimControls(*Body);
    if (IPValido(Answer)) return std::string(Answer);
  }
  return std::nullopt;
}

bool IPValido(std::string_view Text) {
  constexpr int kParts = 4;
  int Parts = 0;
  for (;;) {
    const std::size_t Dot = Text.find(kPartSeparator);
    const std::int64_t Value = ToInteger(Text.substr(0, Dot));
    if (++Parts > kParts || Value < 0 || Value > kLargestPart) return false;
    if (Dot == std::string_view::npos) break;
    Text.remove_prefix(Dot + 1);
  }
  return Parts == kParts;
}

}  // namespace tavrin
