#include "vocabulary/client_text.h"

#include <cstdint>

#include "vocabulary/dbx_limits.h"

namespace tavrin {

namespace {

constexpr char kCutMark[] = "...";
constexpr char kUpperHexDigits[] = "0123456789ABCDEF";
constexpr char32_t kLineSeparator = 0x2028;
constexpr char32_t kParagraphSeparator = 0x2029;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kLastC1 = 0x9F;

// One character of UTF-8: its code point and its length in bytes. A byte that starts no
// well-formed sequence is a character of one byte with Valid false.
struct TCharacter {
  char32_t Code = 0;
  std::size_t Length = 1;
  bool Valid = false;
};

TCharacter CharacterAt(std::string_view Text, std::size_t At) {
  const auto Lead = static_cast<std::uint8_t>(Text[At]);
  if (Lead < 0x80) return {Lead, 1, true};
  std::size_t Length = 0;
  char32_t Code = 0;
  char32_t Least = 0;  // the smallest code point this length may carry
  if ((Lead & 0xE0) == 0xC0) {
    Length = 2, Code = Lead & 0x1F, Least = 0x80;
  } else if ((Lead & 0xF0) == 0xE0) {
    Length = 3, Code = Lead & 0x0F, Least = 0x800;
  } else if ((Lead & 0xF8) == 0xF0) {
    Length = 4, Code = Lead & 0x07, Least = 0x10000;
  } else {
    return {Lead, 1, false};
  }
  if (At + Length > Text.size()) return {Lead, 1, false};
  for (std::size_t i = 1; i < Length; ++i) {
    const auto Next = static_cast<std::uint8_t>(Text[At + i]);
    if ((Next & 0xC0) != 0x80) return {Lead, 1, false};
    Code = (Code << 6) | (Next & 0x3F);
  }
  if (Code < Least || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) return {Lead, 1, false};
  return {Code, Length, true};
}

void AppendHex(std::string& Out, char32_t Value, int Digits) {
  for (int Shift = (Digits - 1) * 4; Shift >= 0; Shift -= 4) Out += kUpperHexDigits[(Value >> Shift) & 0xF];
}

// Cuts Text at the character limit, passing each character kept to Append.
template <typename TAppend>
std::string Cut(std::string_view Text, TAppend&& Append) {
  std::string Out;
  std::size_t At = 0;
  for (std::int32_t Count = 0; At < Text.size(); ++Count) {
    if (Count == limits::kMaxQuotedClientChars) {
      Out += kCutMark;
      break;
    }
    const TCharacter Character = CharacterAt(Text, At);
    Append(Out, Text.substr(At, Character.Length), Character);
    At += Character.Length;
  }
  return Out;
}

}  // namespace

std::string QuotedClientText(std::string_view Utf8) {
  return Cut(Utf8, [](std::string& Out, std::string_view Bytes, const TCharacter&) { Out += Bytes; });
}

std::string LoggedClientText(std::string_view Utf8) {
  return Cut(Utf8, [](std::string& Out, std::string_view Bytes, const TCharacter& Character) {
    const char32_t Code = Character.Code;
    if (!Character.Valid || Code < 0x20 || (Code >= kDelete && Code <= kLastC1)) {
      Out += "\\x";
      AppendHex(Out, Code, 2);
    } else if (Code == kLineSeparator || Code == kParagraphSeparator) {
      Out += "\\u";
      AppendHex(Out, Code, 4);
    } else {
      Out += Bytes;
    }
  });
}

}  // namespace tavrin
