// The conversions of the argument cells that are arithmetic rather than plain copies:
// currency from and to decimal text, date-time from and to timestamps, variants from and
// to their stream form.

#include "server/methods/method_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "server/methods/variant_stream.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

TEST(CurrencyCells, DecimalTextRoundsHalfAwayFromZeroToFourDecimals) {
  const std::pair<const char*, std::int64_t> Cases[] = {
      {"0", 0},
      {"12.5", 125000},
      {"-12.5", -125000},
      {"1.23455", 12346},
      {"-1.23455", -12346},
      {"1.23454999", 12345},
      {".5", 5000},
      {"922337203685477.5807", std::numeric_limits<std::int64_t>::max()},
      {"-922337203685477.5808", std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& [Text, Scaled] : Cases) {
    SCOPED_TRACE(Text);
    EXPECT_EQ(CurrencyFromDecimalText(Text).Scaled, Scaled);
  }
  for (const char* Bad : {"", "-", "1.2.3", "12a", "+1", "922337203685477.5808", "-922337203685477.58085",
                          "99999999999999999999"}) {
    SCOPED_TRACE(Bad);
    EXPECT_EQ(ErrorOf([&] { CurrencyFromDecimalText(Bad); }).ErrorCode(), 2);
  }
}

TEST(CurrencyCells, TextOfACurrencyIsItsShortestDecimal) {
  const std::pair<std::int64_t, const char*> Cases[] = {
      {0, "0"},
      {125000, "12.5"},
      {-125000, "-12.5"},
      {1, "0.0001"},
      {-30000, "-3"},
      {std::numeric_limits<std::int64_t>::min(), "-922337203685477.5808"},
  };
  for (const auto& [Scaled, Text] : Cases) {
    EXPECT_EQ(DecimalTextFromCurrency({Scaled}), Text);
  }
}

TEST(DateTimeCells, DaysCountFromTheEndOf1899WithTheTimeAsFraction) {
  struct TCase {
    TSQLTimeStamp Stamp;
    double Serial;
  };
  const TCase Cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
      {{1899, 12, 31, 12, 0, 0, 0}, 1.5},
      // Before the epoch the fraction still counts forward from midnight.
      {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
      {{1900, 3, 1, 0, 0, 0, 0}, 61.0},
      {{2024, 2, 29, 18, 0, 0, 0}, 45351.75},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Serial);
    EXPECT_DOUBLE_EQ(DateTimeFromTimeStamp(Case.Stamp).Value, Case.Serial);
    EXPECT_EQ(TimeStampFromDateTime({Case.Serial}), Case.Stamp);
  }
  // To the millisecond, and a value a hair before midnight rounds into the next day.
  const TSQLTimeStamp Late{2031, 12, 31, 23, 59, 59, 999};
  EXPECT_EQ(TimeStampFromDateTime(DateTimeFromTimeStamp(Late)), Late);
  EXPECT_EQ(TimeStampFromDateTime({2.0 - 1e-12}), (TSQLTimeStamp{1900, 1, 1, 0, 0, 0, 0}));
}

std::vector<std::uint8_t> BytesOf(const std::shared_ptr<TStream>& Stream) {
  return dynamic_cast<TBytesStream&>(*Stream).Bytes();
}

TEST(VariantStreams, EachKindHasItsStreamFormAndReadsBack) {
  TDSVariant Packet;
  Packet.Value = std::vector<std::uint8_t>{0xAA, 0xBB};
  TDSVariant Text;
  Text.Value = std::u16string(u"\u00e9x");
  TDSVariant Number;
  Number.Value = std::int32_t{-2};
  const std::pair<TDSVariant, std::vector<std::uint8_t>> Cases[] = {
      {Packet, {3, 2, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB}},
      {Text, {2, 8, 0, 0, 0, 2, 0, 0, 0, 0xE9, 0, 'x', 0}},
      {Number, {2, 3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& [Value, Bytes] : Cases) {
    const auto Stream = EncodeVariantStream(Value);
    ASSERT_NE(Stream, nullptr);
    EXPECT_EQ(BytesOf(Stream), Bytes);
    EXPECT_EQ(DecodeVariantStream(Stream.get()), Value);
    // Read again: the stream is taken from its start whatever read it before.
    EXPECT_EQ(DecodeVariantStream(Stream.get()), Value);
  }
  EXPECT_EQ(EncodeVariantStream({}), nullptr);
  EXPECT_EQ(DecodeVariantStream(nullptr), TDSVariant{});
}

TEST(VariantStreams, OddStreamsReadAsEmptyOrAreRefused) {
  const auto Decode = [](std::vector<std::uint8_t> Bytes) {
    TBytesStream Stream(std::move(Bytes));
    return DecodeVariantStream(&Stream);
  };
  EXPECT_EQ(Decode({}), TDSVariant{});
  EXPECT_EQ(Decode({3, 0, 0, 0, 0, 0, 0, 0, 0}), TDSVariant{});            // empty packet
  EXPECT_EQ(Decode({3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), TDSVariant{});  // negative
  EXPECT_EQ(Decode({7, 1, 2}), TDSVariant{});                              // unknown tag
  EXPECT_EQ(Decode({2, 1, 0, 0, 0}), TDSVariant{});                        // null
  TDSVariant Small;
  Small.Value = std::int32_t{-3};
  EXPECT_EQ(Decode({2, 2, 0, 0, 0, 0xFD, 0xFF}), Small);                   // 16-bit integer
  const TDBXError Unsupported = ErrorOf([&] { Decode({2, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); });
  EXPECT_EQ(Unsupported.Message(), "Unsupported variant type: 0005");
  EXPECT_EQ(ErrorOf([&] { Decode({3, 9, 0, 0, 0, 0, 0, 0, 0, 1}); }).Message(), "Truncated variant stream");
  EXPECT_EQ(ErrorOf([&] { Decode({2, 8, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}); }).Message(), "Truncated variant stream");
}

}  // namespace
}  // namespace tavrin
