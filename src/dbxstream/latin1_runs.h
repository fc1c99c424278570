#pragma once
// Bulk moves of the common case of a string token: long runs of characters that travel
// as single bytes. The codecs handle escapes one at a time and everything else here,
// several characters per step.

#include <cstddef>
#include <cstdint>

namespace tavrin {

// The two bytes a string token escapes besides control characters.
inline constexpr std::uint8_t kQuote = '"';
inline constexpr std::uint8_t kBackslash = '\\';

// Narrows the leading units of Text (at most Count) that travel as themselves in a
// string token, U+0020 to U+00FF except the double quote and the backslash, into Out.
// Returns how many it narrowed; the unit after them, if any, needs an escape.
std::size_t NarrowPlainUnits(const char16_t* Text, std::size_t Count, std::uint8_t* Out);

// Widens the bytes before the first double quote or backslash among Count bytes (each
// byte becomes the code unit of the same value) and returns how many; Count when there
// is neither. Out must have room for Count units: units past the result may be written.
std::size_t WidenUntilQuoteOrBackslash(const std::uint8_t* Bytes, std::size_t Count,
                                       char16_t* Out);

}  // namespace tavrin
