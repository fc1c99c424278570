#include "dbxstream/row_text_encoding.h"

namespace tavrin {
namespace {

// The last code unit that still travels as a single byte.
constexpr char16_t kLastNarrowUnit = 0x00FE;

// Index of the first unit that needs two bytes, or Text.size() when none does.
std::size_t WideStart(std::u16string_view Text) {
  std::size_t i = 0;
  while (i < Text.size() && Text[i] <= kLastNarrowUnit) ++i;
  return i;
}

}  // namespace

std::size_t RowTextEncodedLength(std::u16string_view Text) {
  const std::size_t Narrow = WideStart(Text);
  if (Narrow == Text.size()) return Narrow;
  return Narrow + 1 + 2 * (Text.size() - Narrow);
}

void EncodeRowText(std::u16string_view Text, std::vector<std::uint8_t>& Out) {
  const std::size_t Narrow = WideStart(Text);
  Out.reserve(Out.size() + RowTextEncodedLength(Text));
  for (std::size_t i = 0; i < Narrow; ++i) Out.push_back(static_cast<std::uint8_t>(Text[i]));
  if (Narrow == Text.size()) return;
  Out.push_back(kRowTextWideSwitch);
  for (std::size_t i = Narrow; i < Text.size(); ++i) {
    Out.push_back(static_cast<std::uint8_t>(Text[i] >> 8));
    Out.push_back(static_cast<std::uint8_t>(Text[i] & 0xFF));
  }
}

void TDBXRowTextDecoder::Reset() {
  FWide = false;
  FHasHeldByte = false;
  FHeldByte = 0;
}

void TDBXRowTextDecoder::Decode(std::span<const std::uint8_t> Piece, std::u16string& Out) {
  std::size_t i = 0;
  while (!FWide && i < Piece.size()) {
    const std::uint8_t b = Piece[i++];
    if (b == kRowTextWideSwitch) {
      FWide = true;
    } else {
      Out.push_back(static_cast<char16_t>(b));
    }
  }
  if (!FWide) return;
  if (FHasHeldByte && i < Piece.size()) {
    Out.push_back(static_cast<char16_t>((FHeldByte << 8) | Piece[i++]));
    FHasHeldByte = false;
  }
  for (; i + 1 < Piece.size(); i += 2) {
    Out.push_back(static_cast<char16_t>((Piece[i] << 8) | Piece[i + 1]));
  }
  if (i < Piece.size()) {
    FHeldByte = Piece[i];
    FHasHeldByte = true;
  }
}

std::u16string DecodeRowText(std::span<const std::uint8_t> Bytes) {
  TDBXRowTextDecoder Decoder;
  std::u16string Out;
  Out.reserve(Bytes.size());
  Decoder.Decode(Bytes, Out);
  return Out;
}

}  // namespace tavrin
