#pragma once
// The text encoding inside row buffers. A 16-bit string travels one byte per code unit
// while every unit so far is at most U+00FE; at the first unit above that, the switch
// byte 0xFF is written and from then on every unit (whatever its value) takes two
// bytes, big-endian. Mostly-Latin text so costs one byte per character.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// The byte that switches the rest of a text to two bytes per code unit.
inline constexpr std::uint8_t kRowTextWideSwitch = 0xFF;

// Number of bytes EncodeRowText produces for Text.
std::size_t RowTextEncodedLength(std::u16string_view Text);

// Appends the encoding of Text to Out.
void EncodeRowText(std::u16string_view Text, std::vector<std::uint8_t>& Out);

// Decodes row text that may arrive in pieces (a long value continued by more-blob).
// The state carries across pieces: whether the switch byte was seen, and an odd byte at
// the end of a piece, which is held back and joined with the first byte of the next.
// Not thread-safe; one decoder per value being read.
class TDBXRowTextDecoder {
 public:
  // Forgets all state, ready for a new text.
  void Reset();

  // Decodes Piece and appends the characters to Out.
  void Decode(std::span<const std::uint8_t> Piece, std::u16string& Out);

  // True while an odd byte waits for its partner. At the end of a text this means the
  // encoding was cut one byte short; the caller decides whether that is a fault.
  bool HasHeldByte() const { return FHasHeldByte; }

 private:
  bool FWide = false;
  bool FHasHeldByte = false;
  std::uint8_t FHeldByte = 0;
};

// Decodes a whole encoded text at once. A trailing odd byte, which cannot form a code
// unit, is dropped: the peer cut its own text short and nothing else is affected.
std::u16string DecodeRowText(std::span<const std::uint8_t> Bytes);

}  // namespace tavrin
