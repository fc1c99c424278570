#include "dbxstream/row_text_encoding.h"

#include <gtest/gtest.h>

#include "row_hex_bytes.h"

namespace tavrin {
namespace {

using testing::Hex;
using testing::ToHex;

TEST(RowTextEncoding, SwitchesToTwoBytesAtTheFirstUnitAboveFE) {
  struct Case { std::u16string Text; std::string Bytes; };
  const Case Cases[] = {
      {u"", ""},
      {u"Lo", "4C 6F"},
      {u"\u00FE", "FE"},                               // last single-byte unit
      {u"\u00FF", "FF 00 FF"},                         // U+00FF itself switches
      {u"a\u0100b", "61 FF 01 00 00 62"},              // everything after the switch is wide
      {u"Conex\u00E3o", "43 6F 6E 65 78 E3 6F"},
      {u"\U0001F600", "FF D8 3D DE 00"},               // surrogates travel as they are
  };
  for (const auto& c : Cases) {
    std::vector<std::uint8_t> Out;
    EncodeRowText(c.Text, Out);
    EXPECT_EQ(ToHex(Out), c.Bytes);
    EXPECT_EQ(RowTextEncodedLength(c.Text), Out.size());
    EXPECT_EQ(DecodeRowText(Out), c.Text);
  }
}

TEST(RowTextEncoding, DecoderJoinsAnOddByteWithTheNextPiece) {
  // u"A\u0100\u0102" = 41 FF 01 00 01 02, cut so that both breaks split a code unit.
  const auto Bytes = Hex("41 FF 01 00 01 02");
  const std::span<const std::uint8_t> All(Bytes);
  TDBXRowTextDecoder Decoder;
  std::u16string Out;
  Decoder.Decode(All.subspan(0, 3), Out);
  EXPECT_TRUE(Decoder.HasHeldByte());
  Decoder.Decode(All.subspan(3, 2), Out);
  Decoder.Decode(All.subspan(5, 1), Out);
  EXPECT_FALSE(Decoder.HasHeldByte());
  EXPECT_EQ(Out, u"A\u0100\u0102");

  // The switch byte alone at the end of a piece still switches the next one.
  Decoder.Reset();
  Out.clear();
  Decoder.Decode(All.subspan(0, 2), Out);
  Decoder.Decode(All.subspan(2, 4), Out);
  EXPECT_EQ(Out, u"A\u0100\u0102");
}

}  // namespace
}  // namespace tavrin
