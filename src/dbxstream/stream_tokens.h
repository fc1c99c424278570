#pragma once
// Token kinds of the stream reader, and the names error messages give them.

#include <cstdint>
#include <string_view>

namespace tavrin {

namespace TDBXTokens {
inline constexpr std::int32_t ObjectStart = 2;     // {
inline constexpr std::int32_t ObjectEnd = 3;       // }
inline constexpr std::int32_t ArrayStart = 4;      // [
inline constexpr std::int32_t ArrayEnd = 5;        // ]
inline constexpr std::int32_t True = 6;            // true
inline constexpr std::int32_t False = 7;           // false
inline constexpr std::int32_t Null = 8;            // null
inline constexpr std::int32_t Number = 9;          // any byte that starts no other token
inline constexpr std::int32_t StringStart = 10;    // the opening double quote
inline constexpr std::int32_t String = 11;         // a string body has been read
inline constexpr std::int32_t NameSeparator = 12;  // :
inline constexpr std::int32_t ValueSeparator = 13; // ,
}  // namespace TDBXTokens

// The name of a token kind as the reader's error messages show it; "Unknown" for a
// kind outside 2..13.
constexpr std::string_view TokenName(std::int32_t Kind) {
  switch (Kind) {
    case TDBXTokens::ObjectStart: return "{";
    case TDBXTokens::ObjectEnd: return "}";
    case TDBXTokens::ArrayStart: return "[";
    case TDBXTokens::ArrayEnd: return "]";
    case TDBXTokens::True: return "true";
    case TDBXTokens::False: return "false";
    case TDBXTokens::Null: return "null";
    case TDBXTokens::Number: return "-+0-9.";
    case TDBXTokens::StringStart:
    case TDBXTokens::String: return "\"";
    case TDBXTokens::NameSeparator: return ":";
    case TDBXTokens::ValueSeparator: return ",";
    default: return "Unknown";
  }
}

}  // namespace tavrin
