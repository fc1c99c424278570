#pragma once
// The keyword table: member names and request methods the reader recognises, each
// with the string code the request loop switches on.

#include <cstdint>
#include <span>
#include <string_view>

namespace tavrin {

namespace TDBXStringCodes {
inline constexpr std::int32_t Other = 1;  // any string that is not a keyword
inline constexpr std::int32_t Result = 2;
inline constexpr std::int32_t Error = 3;
inline constexpr std::int32_t Connect = 4;
inline constexpr std::int32_t Disconnect = 5;
// 6 is not assigned.
inline constexpr std::int32_t Prepare = 7;
inline constexpr std::int32_t Execute = 8;
inline constexpr std::int32_t CommandClose = 9;
inline constexpr std::int32_t ReaderClose = 10;
inline constexpr std::int32_t Rows = 11;
inline constexpr std::int32_t Table = 12;
inline constexpr std::int32_t Columns = 13;
inline constexpr std::int32_t Session = 14;
inline constexpr std::int32_t Data = 15;
inline constexpr std::int32_t Next = 16;
inline constexpr std::int32_t Handle = 17;
inline constexpr std::int32_t Fields = 18;
inline constexpr std::int32_t Parameters = 19;
inline constexpr std::int32_t TxBegin = 20;
inline constexpr std::int32_t TxEnd = 21;
inline constexpr std::int32_t MoreBlob = 22;
inline constexpr std::int32_t NextResult = 23;
inline constexpr std::int32_t VendorProperty = 24;
inline constexpr std::int32_t Callback = 25;
inline constexpr std::int32_t Metadata = 26;
}  // namespace TDBXStringCodes

// The string code of the characters: a keyword's code when they equal that keyword
// exactly (case-sensitive), TDBXStringCodes::Other otherwise. Builds no string.
std::int32_t LookupStringCode(std::span<const char16_t> Chars) noexcept;

// The word of a string code, empty for Other and for codes that name no keyword.
std::u16string_view KeywordOf(std::int32_t StringCode) noexcept;

}  // namespace tavrin
