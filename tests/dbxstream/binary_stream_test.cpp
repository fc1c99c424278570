#include "dbxstream/binary_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "vocabulary/dbx_error.h"
#include "row_hex_bytes.h"

namespace tavrin {
namespace {

using testing::Hex;
using testing::ToHex;

// A stream holding exactly the given bytes, positioned at their start.
void Load(TDBXBinaryStream& Stream, const std::vector<std::uint8_t>& Bytes) {
  Stream.MinBufferSize(static_cast<std::int32_t>(Bytes.size()));
  std::memcpy(Stream.MutableBuffer().data(), Bytes.data(), Bytes.size());
}

template <typename TWrite>
std::string Written(TWrite&& Write) {
  TDBXBinaryStream Stream;
  Write(Stream);
  return ToHex(Stream.WrittenBytes());
}

template <typename TRead>
auto ReadBack(const std::string& HexBytes, TRead&& Read) {
  TDBXBinaryStream Stream;
  const auto Bytes = Hex(HexBytes);
  Load(Stream, Bytes);
  auto Value = Read(Stream);
  EXPECT_EQ(Stream.Offset(), static_cast<std::int32_t>(Bytes.size())) << HexBytes;
  EXPECT_EQ(Stream.CurrentOrdinal(), 1);
  return Value;
}

TEST(BinaryStream, IntegersDropLeadingZeroBytes) {
  struct Case { std::int64_t Value; std::string Bytes; bool Fits32; };
  const Case Cases[] = {
      {0, "60", true},
      {1, "61 01", true},
      {-1, "21 01", true},
      {255, "61 FF", true},
      {256, "62 01 00", true},
      {std::numeric_limits<std::int32_t>::min(), "24 80 00 00 00", true},
      {std::numeric_limits<std::int32_t>::max(), "64 7F FF FF FF", true},
      {std::numeric_limits<std::int64_t>::min(), "28 80 00 00 00 00 00 00 00", false},
      {std::numeric_limits<std::int64_t>::max(), "68 7F FF FF FF FF FF FF FF", false},
  };
  for (const auto& c : Cases) {
    EXPECT_EQ(Written([&](auto& s) { s.WriteInt64(c.Value); }), c.Bytes);
    EXPECT_EQ(ReadBack(c.Bytes, [](auto& s) { return s.ReadInt64(); }), c.Value);
    if (!c.Fits32) continue;
    const auto v32 = static_cast<std::int32_t>(c.Value);
    EXPECT_EQ(Written([&](auto& s) { s.WriteInt32(v32); }), c.Bytes);
    EXPECT_EQ(ReadBack(c.Bytes, [](auto& s) { return s.ReadInt32(); }), v32);
  }
  EXPECT_EQ(Written([](auto& s) { s.WriteShort(-300); }), "22 01 2C");
  EXPECT_EQ(Written([](auto& s) { s.WriteByte(-128); }), "21 80");
}

TEST(BinaryStream, NarrowReadersReadTheSameFormAndKeepTheLowBits) {
  EXPECT_EQ(ReadBack("21 80", [](auto& s) { return s.ReadInt8(); }), -128);
  EXPECT_EQ(ReadBack("61 FF", [](auto& s) { return s.ReadByte(); }), 255);
  EXPECT_EQ(ReadBack("22 01 2C", [](auto& s) { return s.ReadInt16(); }), -300);
  EXPECT_EQ(ReadBack("62 FF FF", [](auto& s) { return s.ReadUInt16(); }), 65535);
  // 70000 does not fit 16 bits: the low 16 bits (4464) and no undefined behaviour.
  EXPECT_EQ(ReadBack("63 01 11 70", [](auto& s) { return s.ReadInt16(); }), 4464);
}

TEST(BinaryStream, FloatsDropTrailingZeroBytesAndCarryTheSignInTheHeader) {
  struct Case { double Value; std::string Bytes; };
  const Case Doubles[] = {
      {1.0, "62 3F F0"},
      {0.0, "60"},
      {-0.0, "21 80"},
      {-2.5, "22 C0 04"},
      {std::numeric_limits<double>::denorm_min(), "68 00 00 00 00 00 00 00 01"},
      {std::numeric_limits<double>::infinity(), "62 7F F0"},
  };
  for (const auto& c : Doubles) {
    EXPECT_EQ(Written([&](auto& s) { s.WriteDouble(c.Value); }), c.Bytes);
    const double Back = ReadBack(c.Bytes, [](auto& s) { return s.ReadDouble(); });
    EXPECT_EQ(Back, c.Value);
    EXPECT_EQ(std::signbit(Back), std::signbit(c.Value)) << c.Bytes;
  }
  const struct { float Value; std::string Bytes; } Singles[] = {
      {1.0F, "62 3F 80"}, {0.0F, "60"}, {-0.0F, "21 80"}, {0.1F, "64 3D CC CC CD"}};
  for (const auto& c : Singles) {
    EXPECT_EQ(Written([&](auto& s) { s.WriteSingle(c.Value); }), c.Bytes);
    EXPECT_EQ(ReadBack(c.Bytes, [](auto& s) { return s.ReadSingle(); }), c.Value);
  }
}

TEST(BinaryStream, OneByteValues) {
  EXPECT_EQ(Written([](auto& s) {
              s.WriteNull();
              s.WriteBoolean(true);
              s.WriteBoolean(false);
              s.WriteCallback();
            }),
            "C0 60 20 02");
  EXPECT_TRUE(ReadBack("60", [](auto& s) { return s.ReadBoolean(); }));
  EXPECT_FALSE(ReadBack("20", [](auto& s) { return s.ReadBoolean(); }));
  EXPECT_TRUE(ReadBack("02", [](auto& s) { return s.ReadCallback(); }));
  EXPECT_FALSE(ReadBack("C0", [](auto& s) { return s.ReadCallback(); }));
  // Any header from 0x80 up is a null, and a typed reader gives the empty value.
  EXPECT_EQ(ReadBack("80", [](auto& s) { return s.ReadInt32(); }), 0);
  EXPECT_EQ(ReadBack("FF", [](auto& s) { return s.ReadDouble(); }), 0.0);
}

TEST(BinaryStream, SkippingAdvancesByTheHeadersTotalLength) {
  struct Case { std::string Bytes; std::int32_t Length; bool Terminator2; };
  const Case Cases[] = {
      {"C0", 1, false},
      {"80", 1, false},
      {"60", 1, false},
      {"20", 1, false},
      {"02", 1, false},
      {"62 3F F0", 3, false},
      {"10 00 02 41 42", 5, false},
      {"50 00 01 41", 4, false},
      {"40 00 00 00 02 7B 7D", 7, false},
      {"08 00 01 00 00", 5, false},
      {"0C 00 00 00 09 62 01 02", 8, false},
      {"00 4C 6F 00 00", 5, true},
      {"00 4C 6F 00 00 00", 6, false},
      {"00 00 00", 3, true},
  };
  for (const auto& c : Cases) {
    TDBXBinaryStream Stream;
    Stream.SetTwoByteStringTerminator(c.Terminator2);
    // A value after the one skipped proves where the skip landed.
    Load(Stream, testing::Concat(Hex(c.Bytes), Hex("61 07")));
    EXPECT_EQ(Stream.ValueLength(0), c.Length) << c.Bytes;
    Stream.SkipValue();
    EXPECT_EQ(Stream.Offset(), c.Length) << c.Bytes;
    EXPECT_EQ(Stream.CurrentOrdinal(), 1);
    EXPECT_EQ(Stream.ReadInt32(), 7) << c.Bytes;
  }
}

TEST(BinaryStream, HeaderTestsDoNotMove) {
  struct Case { std::string Header; bool Null, Callback, Blob, LastSegment; };
  const Case Cases[] = {
      // The segment test looks at bit 0x40 alone, so the written null (0xC0) fails it.
      {"C0", true, false, false, false},  {"80", true, false, false, true},
      {"60", false, false, false, false},
      {"20", false, false, false, true},  {"02", false, true, false, true},
      {"10", false, false, false, true},  {"50", false, false, false, false},
      {"40", false, false, false, false}, {"08", false, false, true, false},
      {"0C", false, false, true, false},  {"0F", false, false, true, true},
  };
  for (const auto& c : Cases) {
    TDBXBinaryStream Stream;
    Load(Stream, Hex(c.Header));
    EXPECT_EQ(Stream.Null(), c.Null) << c.Header;
    EXPECT_EQ(Stream.Callback(), c.Callback) << c.Header;
    EXPECT_EQ(Stream.BlobHeader(), c.Blob) << c.Header;
    EXPECT_EQ(Stream.LastParameterBlobSegment(), c.LastSegment) << c.Header;
    EXPECT_EQ(Stream.Offset(), 0);
  }
}

TEST(BinaryStream, TimestampCarriesNanosOnlyWhenNotZero) {
  // 1000 ms = 62 03 E8; 5 ms of fraction = 5 000 000 ns = 00 4C 4B 40.
  EXPECT_EQ(Written([](auto& s) { s.WriteTimestamp(1000, 0); }), "23 62 03 E8");
  EXPECT_EQ(Written([](auto& s) { s.WriteTimestamp(1000, 5'000'000); }),
            "27 62 03 E8 00 4C 4B 40");
  EXPECT_EQ(Written([](auto& s) { s.WriteTimestamp(-86'400'000, 0); }), "25 24 05 26 5C 00");
  struct Case { std::int64_t Millis; std::int32_t Nanos; };
  for (const Case c : {Case{0, 0}, Case{1000, 5'000'000}, Case{-2'209'118'400'000, 999'000'000}}) {
    TDBXBinaryStream Stream;
    Stream.WriteTimestamp(c.Millis, c.Nanos);
    Stream.WriteInt32(9);
    const auto Bytes = std::vector<std::uint8_t>(Stream.WrittenBytes().begin(),
                                                 Stream.WrittenBytes().end());
    TDBXBinaryStream Back;
    Load(Back, Bytes);
    EXPECT_EQ(Back.ReadTimestamp(), c.Millis);
    EXPECT_EQ(Back.ReadTimestampNanos(), c.Nanos);
    EXPECT_EQ(Back.CurrentOrdinal(), 1);
    EXPECT_EQ(Back.ReadInt32(), 9);
  }
}

TEST(BinaryStream, ValuesWrittenOneAfterAnotherReadBackWhateverTheBufferHadToGrowTo) {
  // Mixed widths, so each write meets a different amount of room left.
  constexpr int kRounds = 2000;
  TDBXBinaryStream Stream;
  for (int i = 0; i < kRounds; ++i) {
    Stream.WriteInt32(i);
    Stream.WriteNull();
    Stream.WriteInt64(std::int64_t{i} << 40);
    Stream.WriteTimestamp(std::int64_t{i} * 1000, 0);
  }
  const auto Bytes = std::vector<std::uint8_t>(Stream.WrittenBytes().begin(), Stream.WrittenBytes().end());
  TDBXBinaryStream Back;
  Load(Back, Bytes);
  for (int i = 0; i < kRounds; ++i) {
    ASSERT_EQ(Back.ReadInt32(), i);
    ASSERT_TRUE(Back.Null());
    Back.ReadNull();
    ASSERT_EQ(Back.ReadInt64(), std::int64_t{i} << 40);
    ASSERT_EQ(Back.ReadTimestamp(), std::int64_t{i} * 1000);
  }
  EXPECT_EQ(Back.Offset(), static_cast<std::int32_t>(Bytes.size()));
}

TEST(BinaryStream, AMinimumSizeNeverShrinksTheBufferOrLosesWhatIsWritten) {
  TDBXBinaryStream Stream;
  Stream.WriteInt32(0);
  Stream.WriteInt64(1);
  Stream.MinBufferSize(100);
  EXPECT_GE(Stream.BufLength(), 100);
  Stream.MinBufferSize(50);  // the fill limit follows; the room stays
  EXPECT_GE(Stream.BufLength(), 100);
  EXPECT_EQ(Stream.MinBufSize(), 50);
  EXPECT_EQ(ToHex(Stream.WrittenBytes()), "60 61 01");
  EXPECT_THROW(Stream.MinBufferSize(-1), TDBXError);
}

TEST(BinaryStream, JsonBlockHasA32BitCount) {
  TDBXBinaryStream Stream;
  const std::int32_t At = Stream.PrepareJSONByteBlock(10);
  EXPECT_EQ(At, 5);
  EXPECT_EQ(Stream.BufLength(), 15);
  std::memcpy(Stream.MutableBuffer().data() + At, "{}", 2);
  Stream.EncodeJSONByteBlockSize(2);
  Stream.WriteNull();
  EXPECT_EQ(ToHex(Stream.WrittenBytes()), "40 00 00 00 02 7B 7D C0");
  EXPECT_THROW(Stream.EncodeJSONByteBlockSize(100), TDBXError);  // beyond the reservation

  const auto Bytes = std::vector<std::uint8_t>(Stream.WrittenBytes().begin(),
                                               Stream.WrittenBytes().end());
  TDBXBinaryStream Back;
  Load(Back, Bytes);
  EXPECT_EQ(Back.ReadJSONText(), std::optional<std::string>("{}"));
  EXPECT_EQ(Back.ReadJSONText(), std::nullopt);

  TDBXBinaryStream Wrong;
  Load(Wrong, Hex("41 00 00 00 00"));
  try {
    Wrong.ReadJSONText();
    ADD_FAILURE() << "no error";
  } catch (const TDBXError& e) {
    EXPECT_EQ(e.ErrorCode(), 0);
    EXPECT_STREQ(e.what(), "Invalid JSON header byte encountered");
  }
}

TEST(BinaryStream, BigDecimalForm) {
  struct Case { std::string Bytes; std::int64_t Unscaled; std::int32_t Scale, Signum; };
  const Case Cases[] = {
      {"63 02 04 D2", 1234, 2, 1},        // magnitude, sign from the header
      {"23 02 04 D2", -1234, 2, -1},
      {"63 82 FB 2E", -1234, 2, -1},      // two's complement
      {"63 82 04 D2", 1234, 2, 1},
      {"61 00", 0, 0, 0},
      {"69 00 7F FF FF FF FF FF FF FF", std::numeric_limits<std::int64_t>::max(), 0, 1},
  };
  for (const auto& c : Cases) {
    TDBXBinaryStream Stream;
    Load(Stream, Hex(c.Bytes));
    Stream.ReadBigDecimalBuffer();
    EXPECT_EQ(Stream.BigDecimalUnscaled(), c.Unscaled) << c.Bytes;
    EXPECT_EQ(Stream.BigDecimalScale(), c.Scale) << c.Bytes;
    EXPECT_EQ(Stream.BigDecimalSignum(), c.Signum) << c.Bytes;
  }
  for (const char* TooBig : {"6A 00 01 00 00 00 00 00 00 00 00", "69 00 80 00 00 00 00 00 00 00"}) {
    TDBXBinaryStream Stream;
    Load(Stream, Hex(TooBig));
    Stream.ReadBigDecimalBuffer();
    try {
      Stream.BigDecimalUnscaled();
      ADD_FAILURE() << TooBig;
    } catch (const TDBXError& e) {
      EXPECT_EQ(e.ErrorCode(), 14);
      EXPECT_STREQ(e.what(), "BCD to big");
    }
  }
}

}  // namespace
}  // namespace tavrin
