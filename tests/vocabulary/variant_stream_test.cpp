// Variants in their stream form: the exact bytes of each kind and of arrays, what odd
// streams read as, and the refusals of client-sent dimensions, bounds and counts.

#include "vocabulary/variant_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/error_of.h"

namespace tavrin {
namespace {

// "02 03 00" -> bytes.
std::vector<std::uint8_t> VariantHex(std::string_view Text) {
  std::vector<std::uint8_t> Bytes;
  std::string Digits;
  for (const char C : Text) {
    if (C != ' ') Digits += C;
  }
  for (std::size_t i = 0; i + 1 < Digits.size(); i += 2) {
    Bytes.push_back(static_cast<std::uint8_t>(std::stoul(Digits.substr(i, 2), nullptr, 16)));
  }
  return Bytes;
}

std::vector<std::uint8_t> StreamBytesOf(TStream& Stream) {
  std::vector<std::uint8_t> All;
  std::uint8_t Chunk[5];  // small reads cross the packet stream's header
  for (std::int64_t Got; (Got = Stream.Read(Chunk)) > 0;) All.insert(All.end(), Chunk, Chunk + Got);
  return All;
}

// Hands its bytes out at most Piece at a time, as a value fetched from a peer piece by
// piece does; not a bytes stream, so it is read from where it stands.
class TPieceStream : public TStream {
 public:
  TPieceStream(std::vector<std::uint8_t> Bytes, std::size_t Piece) : FBytes(std::move(Bytes)), FPiece(Piece) {}
  std::int64_t Read(std::span<std::uint8_t> Buffer) override {
    const std::size_t n = std::min({Buffer.size(), FPiece, FBytes.size() - FAt});
    std::copy_n(FBytes.begin() + static_cast<std::ptrdiff_t>(FAt), n, Buffer.begin());
    FAt += n;
    return static_cast<std::int64_t>(n);
  }
  std::int64_t Size() const override { return -1; }
  bool AtEnd() const override { return FAt == FBytes.size(); }

 private:
  std::vector<std::uint8_t> FBytes;
  std::size_t FPiece;
  std::size_t FAt = 0;
};

TEST(VariantStream, EachKindHasItsBytesAndReadsBack) {
  const struct {
    TDSVariant Value;
    const char* Bytes;
  } Cases[] = {
      {std::vector<std::uint8_t>{0xAA, 0xBB}, "03 02 00 00 00 00 00 00 00 AA BB"},
      {TDSVariant(), "02 00 00 00 00"},
      {std::u16string(u"\u00e9x"), "02 08 00 00 00 02 00 00 00 E9 00 78 00"},
      {std::int32_t{-2}, "02 03 00 00 00 FE FF FF FF"},
      {std::int16_t{-3}, "02 02 00 00 00 FD FF"},
      {1.5f, "02 04 00 00 00 00 00 C0 3F"},
      {-2.0, "02 05 00 00 00 00 00 00 00 00 00 00 C0"},
      {TDSCurrency{-12345}, "02 06 00 00 00 C7 CF FF FF FF FF FF FF"},
      {TDSDateTime{2.5}, "02 07 00 00 00 00 00 00 00 00 00 04 40"},
      {TVariantError{7}, "02 0A 00 00 00 07 00 00 00"},
      {true, "02 0B 00 00 00 FF FF"},
      {false, "02 0B 00 00 00 00 00"},
      {std::int8_t{-1}, "02 10 00 00 00 FF"},
      {std::uint8_t{200}, "02 11 00 00 00 C8"},
      {std::uint16_t{65535}, "02 12 00 00 00 FF FF"},
      {std::uint32_t{4000000000u}, "02 13 00 00 00 00 28 6B EE"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Bytes);
    const auto Expected = VariantHex(Case.Bytes);
    EXPECT_EQ(VariantStreamBytes(Case.Value), Expected);
    const auto Stream = EncodeVariantStream(Case.Value);
    ASSERT_NE(Stream, nullptr);
    EXPECT_EQ(Stream->Size(), static_cast<std::int64_t>(Expected.size()));
    EXPECT_EQ(StreamBytesOf(*Stream), Expected);
    EXPECT_EQ(DecodeVariantBytes(std::span<const std::uint8_t>(Expected)), Case.Value);
  }
  // Null is no stream at all, and no stream reads as null.
  EXPECT_EQ(EncodeVariantStream(TDSVariant::Null()), nullptr);
  EXPECT_TRUE(DecodeVariantStream(nullptr).IsNull());
}

TEST(VariantStream, ArraysCarryTheirBoundsAndElements) {
  // A variant array: each element with its own type word; a byte array among them.
  const TDSVariant Mixed = TDSVariant::Array(
      TVarType::varVariant, {std::int32_t{5}, std::u16string(u"a"), TDSVariant::Null(), std::vector<std::uint8_t>{9}});
  const auto MixedBytes = VariantHex(
      "02 0C 20 00 00 01 00 00 00 00 00 00 00 03 00 00 00"
      " 03 00 00 00 05 00 00 00"
      " 08 00 00 00 01 00 00 00 61 00"
      " 01 00 00 00"
      " 11 20 00 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 09");
  // Two dimensions of 16-bit integers, bounds 1..2 and 0..1: one block of raw elements,
  // the last index running fastest.
  TVariantArray Grid;
  Grid.ElementType = TVarType::varSmallint;
  Grid.Bounds = {{1, 2}, {0, 1}};
  Grid.Elements = {std::int16_t{1}, std::int16_t{2}, std::int16_t{3}, std::int16_t{4}};
  const auto GridBytes = VariantHex(
      "02 02 20 00 00 02 00 00 00 01 00 00 00 00 00 00 00 02 00 00 00 01 00 00 00"
      " 08 00 00 00 01 00 02 00 03 00 04 00");
  // Texts: each element in its full form under the array's kind.
  const TDSVariant Texts = TDSVariant::Array(TVarType::varOleStr, {std::u16string(u"x"), std::u16string()});
  const auto TextBytes = VariantHex(
      "02 08 20 00 00 01 00 00 00 00 00 00 00 01 00 00 00"
      " 08 00 00 00 01 00 00 00 78 00 08 00 00 00 00 00 00 00");
  const std::pair<TDSVariant, std::vector<std::uint8_t>> Cases[] = {
      {Mixed, MixedBytes}, {TDSVariant(Grid), GridBytes}, {Texts, TextBytes}};
  for (const auto& [Value, Bytes] : Cases) {
    EXPECT_EQ(VariantStreamBytes(Value), Bytes);
    EXPECT_EQ(DecodeVariantBytes(std::span<const std::uint8_t>(Bytes)), Value);
  }
  // An element of another kind than its array's cannot be written.
  EXPECT_EQ(ErrorOf([] { VariantStreamBytes(TDSVariant::Array(TVarType::varInteger, {std::u16string()})); })
                .ErrorCode(),
            TDBXErrorCodes::InvalidInput);
}

TEST(VariantStream, OddStreamsReadAsNullEmptyOrTheReferencedValue) {
  const std::pair<const char*, TDSVariant> Cases[] = {
      {"", TDSVariant::Null()},
      {"03 00 00 00 00 00 00 00 00", TDSVariant::Null()},                       // empty packet
      {"03 FF FF FF FF FF FF FF FF", TDSVariant::Null()},                       // negative length
      {"07 01 02", TDSVariant()},                                               // unknown tag
      {"02 01 00 00 00", TDSVariant::Null()},
      {"02 03 40 00 00 2A 00 00 00", std::int32_t{42}},                         // integer by reference
      {"02 00 40 00 00 08 00 00 00 01 00 00 00 41 00", std::u16string(u"A")},   // a variant by reference
      {"02 0C 40 00 00 0B 00 00 00 01 00", true},
      {"03 01 00 00 00 00 00 00 00 07 99", std::vector<std::uint8_t>{7}},       // bytes after it are ignored
  };
  for (const auto& [Hex, Expected] : Cases) {
    SCOPED_TRACE(Hex);
    const auto Bytes = VariantHex(Hex);
    TBytesStream Stream(Bytes);
    EXPECT_EQ(DecodeVariantStream(&Stream), Expected);
    EXPECT_EQ(DecodeVariantStream(&Stream), Expected);  // a bytes stream is read from its start
    for (const std::size_t Piece : {std::size_t{1}, std::size_t{4}, std::size_t{1000}}) {
      TPieceStream Pieces(Bytes, Piece);
      std::size_t StreamBytes = 0;
      EXPECT_EQ(DecodeVariantStream(Pieces, StreamBytes), Expected);
      EXPECT_EQ(StreamBytes, Bytes.size());
      EXPECT_TRUE(Pieces.AtEnd());
    }
  }
  // A packet larger than one read, whole from pieces of any size; one that ends early is refused.
  std::vector<std::uint8_t> Large(200'000);
  for (std::size_t i = 0; i < Large.size(); ++i) Large[i] = static_cast<std::uint8_t>(i * 7);
  const std::vector<std::uint8_t> LargeStream = VariantStreamBytes(TDSVariant(Large));
  for (const std::size_t Piece : {std::size_t{3}, std::size_t{32'755}, std::size_t{1'000'000}}) {
    TPieceStream Pieces(LargeStream, Piece);
    std::size_t StreamBytes = 0;
    EXPECT_EQ(DecodeVariantStream(Pieces, StreamBytes), TDSVariant(Large)) << Piece;
    EXPECT_EQ(StreamBytes, LargeStream.size());
    TPieceStream Short({LargeStream.begin(), LargeStream.end() - 1}, Piece);
    EXPECT_EQ(ErrorOf([&] { DecodeVariantStream(Short, StreamBytes); }).ErrorCode(), TDBXErrorCodes::InvalidInput);
  }
  // The packet of a stream's bytes is moved, not copied, out of them.
  std::vector<std::uint8_t> Owned = VariantHex("03 03 00 00 00 00 00 00 00 01 02 03");
  EXPECT_EQ(DecodeVariantBytes(std::move(Owned)), (TDSVariant(std::vector<std::uint8_t>{1, 2, 3})));
}

TEST(VariantStream, ClientSentSizesAreCheckedBeforeUse) {
  const struct {
    const char* Hex;
    const char* Message;
  } Cases[] = {
      {"02 09 00 00 00", "Unsupported variant type: 0009"},
      {"02 0D 00 00 00", "Unsupported variant type: 000D"},
      {"02 0C 00 00 00", "Unsupported variant type: 000C"},
      {"02 14 00 00 00 00 00 00 00 00 00 00 00", "Unsupported variant type: 0014"},  // 64-bit integer
      {"02 09 20 00 00 01 00 00 00", "Unsupported variant type: 2009"},
      {"02 01 20 00 00 01 00 00 00", "Unsupported variant type: 2001"},
      {"02 03 00 00 00 01 02", "Truncated variant stream"},
      {"03 09 00 00 00 00 00 00 00 01", "Truncated variant stream"},
      {"02 08 00 00 00 FF FF FF 7F 41 00", "Truncated variant stream"},
      {"02 03 20 00 00 00 00 00 00", "Malformed variant array: dimension count"},
      {"02 03 20 00 00 41 00 00 00", "Malformed variant array: dimension count"},
      {"02 03 20 00 00 40 00 00 00 00 00", "Truncated variant stream"},  // 64 dimensions, no bounds
      {"02 03 20 00 00 01 00 00 00 05 00 00 00 02 00 00 00", "Malformed variant array: upper bound below lower bound"},
      // 2^31 integers announced with a byte count that does not match them.
      {"02 03 20 00 00 01 00 00 00 00 00 00 00 FF FF FF 7F 04 00 00 00 01 00 00 00",
       "Malformed variant array: too many elements"},
      {"02 03 20 00 00 01 00 00 00 00 00 00 00 01 00 00 00 04 00 00 00 01 00 00 00",
       "Malformed variant array: byte count does not match the bounds"},
      // 2^31 bytes announced by the bounds, 1 by the count; then by both, 1 there.
      {"02 11 20 00 00 01 00 00 00 00 00 00 00 FF FF FF 7F 01 00 00 00 01",
       "Malformed variant array: byte count does not match the bounds"},
      {"02 11 20 00 00 01 00 00 00 00 00 00 00 FE FF FF 7F FF FF FF 7F 01", "Truncated variant stream"},
      // Variants announced beyond what the bytes could hold, each at least a type word.
      {"02 0C 20 00 00 01 00 00 00 00 00 00 00 FF 00 00 00 01 00 00 00", "Truncated variant stream"},
      // Two dimensions of 65536 and 2: more elements than one value may hold.
      {"02 0C 20 00 00 02 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 01 00 00 00",
       "Malformed variant array: too many elements"},
      {"02 08 20 00 00 01 00 00 00 00 00 00 00 00 00 00 00 03 00 00 00 01 00 00 00",
       "Malformed variant array: element of another kind"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Hex);
    const auto Bytes = VariantHex(Case.Hex);
    EXPECT_EQ(ErrorOf([&] { DecodeVariantBytes(std::span<const std::uint8_t>(Bytes)); }).Message(), Case.Message);
  }
}

TEST(VariantStream, NestingAndTheElementBudgetSpanTheWholeValue) {
  // Seventeen references inside one another.
  std::string Deep = "02";
  for (int i = 0; i < 17; ++i) Deep += " 0C 40 00 00";
  Deep += " 01 00 00 00";
  const auto DeepBytes = VariantHex(Deep);
  EXPECT_EQ(ErrorOf([&] { DecodeVariantBytes(std::span<const std::uint8_t>(DeepBytes)); }).Message(),
            "Variant nested too deeply");

  // Two arrays of 40,000 empty variants each: every one fits, together they pass the budget.
  const auto EmptyArray = [](std::size_t Count) {
    std::vector<TDSVariant> Elements(Count);
    return TDSVariant::Array(TVarType::varVariant, std::move(Elements));
  };
  const auto Within = VariantStreamBytes(EmptyArray(40000));
  EXPECT_EQ(DecodeVariantBytes(std::span<const std::uint8_t>(Within)), EmptyArray(40000));
  const auto Beyond = VariantStreamBytes(TDSVariant::Array(TVarType::varVariant, {EmptyArray(40000), EmptyArray(40000)}));
  EXPECT_EQ(ErrorOf([&] { DecodeVariantBytes(std::span<const std::uint8_t>(Beyond)); }).Message(),
            "Malformed variant array: too many elements");
}

}  // namespace
}  // namespace tavrin
