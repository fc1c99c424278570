#pragma once
// Strict UTF-8 reading for what a packet carries as text: overlong forms, surrogates
// and code points above U+10FFFF are malformed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrin {

// The code point starting at Text[At], At moved past it; nullopt (At moved one byte)
// for a malformed sequence.
inline std::optional<char32_t> NextCodePoint(std::string_view Text, std::size_t& At) {
  const auto b0 = static_cast<std::uint8_t>(Text[At++]);
  if (b0 < 0x80) return b0;
  int More = 0;
  char32_t c = 0;
  char32_t Least = 0;
  if ((b0 & 0xE0) == 0xC0) {
    More = 1, c = b0 & 0x1Fu, Least = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    More = 2, c = b0 & 0x0Fu, Least = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    More = 3, c = b0 & 0x07u, Least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (Text.size() - At < static_cast<std::size_t>(More)) return std::nullopt;
  for (int i = 0; i < More; ++i) {
    const auto b = static_cast<std::uint8_t>(Text[At + static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (b & 0x3Fu);
  }
  if (c < Least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  At += static_cast<std::size_t>(More);
  return c;
}

inline bool IsValidUtf8(std::string_view Text) {
  std::size_t At = 0;
  while (At < Text.size())
    if (!NextCodePoint(Text, At)) return false;
  return true;
}

}  // namespace tavrin
