#include "dbxstream/row_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "dbxstream/context.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/memory_channel.h"
#include "dbxstream/stream_keywords.h"
#include "vocabulary/data_types.h"
#include "vocabulary/dbx_error.h"
#include "row_hex_bytes.h"

namespace tavrin {
namespace {

using testing::Hex;
using testing::LoadRowBlock;
using testing::ToHex;


// Turns what was written into the block to read, in place.
void Rewind(TDBXRowBuffer& Buffer) { Buffer.ReadSize(Buffer.Offset()); }

std::string Letters(std::size_t Count) {
  std::string Text(Count, 'a');
  for (std::size_t i = 0; i < Count; ++i) Text[i] = static_cast<char>('a' + i % 26);
  return Text;
}

std::u16string Wide(const std::string& Ascii) { return {Ascii.begin(), Ascii.end()}; }

std::string Drain(TStream& Stream) {
  std::string Out;
  std::uint8_t Chunk[300];
  for (std::int64_t n; (n = Stream.Read(Chunk)) > 0;) {
    Out.append(reinterpret_cast<const char*>(Chunk), static_cast<std::size_t>(n));
  }
  return Out;
}

// A source that cannot tell its size and hands out at most 100 bytes per read.
class TTrickleStream : public TStream {
 public:
  explicit TTrickleStream(std::string Bytes) : FBytes(std::move(Bytes)) {}
  std::int64_t Read(std::span<std::uint8_t> Buffer) override {
    const std::size_t n = std::min({Buffer.size(), FBytes.size() - FPos, std::size_t{100}});
    std::memcpy(Buffer.data(), FBytes.data() + FPos, n);
    FPos += n;
    return static_cast<std::int64_t>(n);
  }

 private:
  std::string FBytes;
  std::size_t FPos = 0;
};

template <typename TCall>
void ExpectError(TCall&& Call, std::int32_t Code, const std::string& Message) {
  try {
    Call();
    ADD_FAILURE() << "no error, expected: " << Message;
  } catch (const TDBXError& e) {
    EXPECT_EQ(e.ErrorCode(), Code);
    EXPECT_EQ(std::string(e.what()), Message);
  }
}

TEST(RowBuffer, StringGoldenBytes) {
  struct Case { std::u16string Text; std::string Bytes; };
  const Case Cases[] = {
      {u"Lo", "22 4C 6F"},
      {u"\u00FF", "23 FF 00 FF"},
      {u"", "20"},
      {Wide(std::string(31, 'a')), "3F " + ToHex(std::vector<std::uint8_t>(31, 0x61))},
      {Wide(std::string(32, 'a')), "10 00 20 " + ToHex(std::vector<std::uint8_t>(32, 0x61))},
  };
  for (const auto& c : Cases) {
    TDBXRowBuffer Buffer;
    EXPECT_TRUE(Buffer.WriteString(c.Text));
    EXPECT_EQ(ToHex(Buffer.WrittenBytes()), c.Bytes);
    Rewind(Buffer);
    EXPECT_EQ(Buffer.ReadString(), c.Text);
  }
}

TEST(RowBuffer, InlineLimitFollowsTheRoomLeft) {
  struct Case {
    std::int32_t MinBuf;
    std::int32_t Prefix;  // bytes written before, as one byte value
    std::size_t Length;
    std::int32_t Limit;
    std::string Header;
    bool Fitted;
  };
  const Case Cases[] = {
      {0, 0, 2000, 1024, "50 04 00", false},           // no fill limit: 1024
      {30720, 0, 2000, 30717, "10 07 D0", true},       // all the room left
      {100000, 0, 70000, 65535, "50 FF FF", false},    // capped at 65535
      {30720, 29800, 2000, 1024, "50 04 00", false},   // nearly full: 1024 again
      {0, 0, 1024, 1024, "10 04 00", true},            // exactly the limit fits
  };
  for (const auto& c : Cases) {
    TDBXRowBuffer Buffer;
    Buffer.MinBufferSize(c.MinBuf);
    if (c.Prefix > 0) {
      Buffer.WriteBytes(std::vector<std::uint8_t>(static_cast<std::size_t>(c.Prefix - 3)));
    }
    const std::int32_t Start = Buffer.Offset();
    ASSERT_EQ(Start, c.Prefix);
    EXPECT_EQ(Buffer.InlineLimit(), c.Limit);
    const std::string Text = Letters(c.Length);
    EXPECT_EQ(Buffer.WriteString(Wide(Text)), c.Fitted);
    EXPECT_EQ(Buffer.LastInlineByteCount(), c.Limit);
    const auto Written = Buffer.WrittenBytes().subspan(static_cast<std::size_t>(Start));
    EXPECT_EQ(ToHex(Written.first(3)), c.Header);
    const std::size_t Inline = std::min(c.Length, static_cast<std::size_t>(c.Limit));
    EXPECT_EQ(Written.size(), 3 + Inline);
    EXPECT_EQ(std::string(Written.begin() + 3, Written.end()), Text.substr(0, Inline));
    auto Overflow = Buffer.TakeOverflowStream();
    if (c.Fitted) {
      EXPECT_EQ(Overflow, nullptr);
    } else {
      ASSERT_NE(Overflow, nullptr);
      EXPECT_EQ(Drain(*Overflow), Text.substr(Inline));
      EXPECT_EQ(Buffer.TakeOverflowStream(), nullptr);  // handed over once
    }
  }
  // A write grows an empty buffer by what it can place: header and bytes.
  TDBXRowBuffer Buffer;
  Buffer.WriteString(u"Lo");
  EXPECT_EQ(Buffer.BufLength(), 3 + 2);
}

TEST(RowBuffer, ReusedBufferDoesNotGrowWithEveryLongWrite) {
  // With room to spare the inline limit is all the room left; reserving that limit plus
  // a margin used to grow the buffer on every such write, round after round.
  TDBXRowBuffer Buffer;
  Buffer.MinBufferSize(30720);
  for (int Round = 0; Round < 3; ++Round) {
    Buffer.Post();
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(Buffer.WriteString(Wide(Letters(2000))));
    EXPECT_EQ(Buffer.BufLength(), 30720) << "round " << Round;
  }
}

TEST(RowBuffer, ByteValuesFromStreams) {
  const std::string Long = Letters(1500);
  {
    TDBXRowBuffer Buffer;
    TBytesStream Empty;
    EXPECT_EQ(Buffer.WriteBytes(Empty), 0);
    TBytesStream Five(std::vector<std::uint8_t>{1, 2, 3, 4, 5});
    EXPECT_EQ(Buffer.WriteBytes(Five), 5);
    EXPECT_TRUE(Buffer.LastWriteFitted());
    EXPECT_EQ(ToHex(Buffer.WrittenBytes()), "20 10 00 05 01 02 03 04 05");
    Rewind(Buffer);
    EXPECT_TRUE(Buffer.ReadBytes().empty());
    EXPECT_EQ(Buffer.ReadBytes(), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  }
  {
    // A source that tells its size: the rest is read at once and kept.
    TDBXRowBuffer Buffer;
    TBytesStream Source(std::vector<std::uint8_t>(Long.begin(), Long.end()));
    EXPECT_EQ(Buffer.WriteBytes(Source), 1024);
    EXPECT_FALSE(Buffer.LastWriteFitted());
    EXPECT_EQ(ToHex(Buffer.WrittenBytes().first(3)), "50 04 00");
    auto Overflow = Buffer.TakeOverflowStream();
    ASSERT_NE(Overflow, nullptr);
    EXPECT_EQ(Drain(*Overflow), Long.substr(1024));
  }
  {
    // A source that tells its size and keeps its rest serves the rest itself: no copy.
    struct TKeepingStream : TBytesStream {
      using TBytesStream::TBytesStream;
      bool KeepsItsRest() const override { return true; }
    };
    TDBXRowBuffer Buffer;
    TKeepingStream Source(std::vector<std::uint8_t>(Long.begin(), Long.end()));
    EXPECT_EQ(Buffer.WriteBytes(Source), 1024);
    EXPECT_EQ(ToHex(Buffer.WrittenBytes().first(3)), "50 04 00");
    EXPECT_FALSE(Buffer.LastWriteFitted());
    EXPECT_EQ(Buffer.TakeOverflowStream(), nullptr);
    EXPECT_EQ(Drain(Source), Long.substr(1024));
  }
  {
    // A source that cannot tell its size keeps the rest for on-demand reading.
    TDBXRowBuffer Buffer;
    TTrickleStream Source(Long);
    EXPECT_EQ(Buffer.WriteBytes(Source), 1024);
    EXPECT_EQ(ToHex(Buffer.WrittenBytes().first(3)), "50 04 00");
    EXPECT_FALSE(Buffer.LastWriteFitted());
    EXPECT_EQ(Buffer.TakeOverflowStream(), nullptr);
    EXPECT_EQ(Drain(Source), Long.substr(1024));
  }
  {
    TDBXRowBuffer Buffer;
    EXPECT_TRUE(Buffer.WriteAnsiString("ab\xE9"));
    EXPECT_TRUE(Buffer.WriteAnsiString(""));
    EXPECT_EQ(ToHex(Buffer.WrittenBytes()), "10 00 03 61 62 E9 20");
    Rewind(Buffer);
    EXPECT_EQ(Buffer.ReadAnsiString(), "ab\xE9");
    EXPECT_EQ(Buffer.ReadAnsiString(), "");
  }
}

TEST(RowBuffer, PerKindGoldenBytes) {
  struct Case { std::function<void(TDBXRowBuffer&)> Write; std::string Bytes; };
  const Case Cases[] = {
      {[](auto& b) { b.WriteDate(static_cast<std::int32_t>(EncodeDbxDate(2013, 3, 15))); },
       "63 0F BA 6F"},
      {[](auto& b) { b.WriteTime(static_cast<std::int32_t>(EncodeDbxTime(0, 0, 1, 5))); },
       "62 03 ED"},
      {[](auto& b) { b.WriteTimeStamp({1970, 1, 1, 0, 0, 1, 0}); }, "23 62 03 E8"},
      {[](auto& b) { b.WriteTimeStamp({1970, 1, 1, 0, 0, 1, 5}); }, "27 62 03 E8 00 4C 4B 40"},
      {[](auto& b) { b.WriteDoubleValue(1.5, TDBXSubDataTypes::SingleSubType); }, "62 3F C0"},
      {[](auto& b) { b.WriteDoubleValue(1.5, TDBXSubDataTypes::NoSubType); }, "62 3F F8"},
      {[](auto& b) { b.WriteBcd("-12.50"); }, "26 2D 31 32 2E 35 30"},
      {[](auto& b) { b.WriteJSONValue(TJSONValue::parse(R"({"a":1})")); },
       "40 00 00 00 07 7B 22 61 22 3A 31 7D"},
      {[](auto& b) { b.WriteTableHandle(3); }, "61 03"},
      {[](auto& b) {
         TSQLTimeStampOffset v{{2013, 3, 15, 9, 5, 7, 5}, -3, 30};
         b.WriteTimeStampOffset(v);
       },
       "3A " + ToHex(std::vector<std::uint8_t>(
                   {'3', '/', '1', '5', '/', '2', '0', '1', '3', ' ', '9', ':', '0', '5', ':',
                    '0', '7', ':', '5', ' ', '-', '0', '3', ':', '3', '0'}))},
  };
  for (const auto& c : Cases) {
    TDBXRowBuffer Buffer;
    c.Write(Buffer);
    EXPECT_EQ(ToHex(Buffer.WrittenBytes()), c.Bytes);
  }
}

TEST(RowBuffer, EveryKindRoundTrips) {
  const TSQLTimeStamp Ts{1899, 12, 30, 12, 34, 56, 789};
  const std::vector<TSQLTimeStampOffset> Offsets = {
      {{2026, 12, 9, 23, 59, 59, 999}, 14, 0},
      {{2013, 3, 15, 0, 0, 0, 0}, 0, -30},  // the minutes carry the sign
      {{1, 1, 1, 0, 0, 0, 10}, -3, 30},
  };
  TDBXRowBuffer Buffer;
  Buffer.WriteBoolean(true);
  Buffer.WriteByte(-5);
  Buffer.WriteShort(-32768);
  Buffer.WriteInt32(123456);
  Buffer.WriteInt64(-9'000'000'000);
  Buffer.WriteInt32(200);  // a UINT8
  Buffer.WriteInt32(65000);  // a UINT16
  Buffer.WriteSingle(-0.25F);
  Buffer.WriteDoubleValue(0.1, TDBXSubDataTypes::SingleSubType);
  Buffer.WriteDouble(-1e300);
  Buffer.WriteDate(static_cast<std::int32_t>(EncodeDbxDate(2013, 3, 15)));
  Buffer.WriteTime(static_cast<std::int32_t>(EncodeDbxTime(23, 59, 59, 999)));
  Buffer.WriteTimeStamp(Ts);
  for (const auto& o : Offsets) Buffer.WriteTimeStampOffset(o);
  Buffer.WriteBcd("12345.678");
  Buffer.WriteString(u"Conex\u00E3o \u20AC");
  Buffer.WriteAnsiString("ZUL");
  Buffer.WriteBytes(std::vector<std::uint8_t>{0, 0xFF});
  Buffer.WriteJSONValue(TJSONValue::parse(R"({"itens":[1,"x",null]})"));
  Buffer.WriteNull();
  Buffer.WriteCallback();
  Buffer.WriteTableHandle(4);

  Rewind(Buffer);
  EXPECT_TRUE(Buffer.ReadBoolean());
  EXPECT_EQ(Buffer.ReadInt8(), -5);
  EXPECT_EQ(Buffer.ReadInt16(), -32768);
  EXPECT_EQ(Buffer.ReadInt32(), 123456);
  EXPECT_EQ(Buffer.ReadInt64(), -9'000'000'000);
  EXPECT_EQ(Buffer.ReadByte(), 200);
  EXPECT_EQ(Buffer.ReadUInt16(), 65000);
  EXPECT_EQ(Buffer.ReadSingle(), -0.25F);
  EXPECT_EQ(Buffer.ReadDoubleValue(TDBXSubDataTypes::SingleSubType), static_cast<double>(0.1F));
  EXPECT_EQ(Buffer.ReadDouble(), -1e300);
  int y = 0, m = 0, d = 0;
  DecodeDbxDate(Buffer.ReadDate(), y, m, d);
  EXPECT_EQ((std::tuple{y, m, d}), (std::tuple{2013, 3, 15}));
  EXPECT_EQ(Buffer.ReadTime(), 86'399'999);
  EXPECT_EQ(Buffer.ReadTimeStamp(), Ts);
  for (const auto& o : Offsets) EXPECT_EQ(Buffer.ReadTimeStampOffset(), o);
  EXPECT_EQ(Buffer.ReadBcd(), "12345.678");
  EXPECT_EQ(Buffer.ReadString(), u"Conex\u00E3o \u20AC");
  EXPECT_EQ(Buffer.ReadAnsiString(), "ZUL");
  EXPECT_EQ(Buffer.ReadBytes(), (std::vector<std::uint8_t>{0, 0xFF}));
  EXPECT_EQ(Buffer.ReadJSONValue(), TJSONValue::parse(R"({"itens":[1,"x",null]})"));
  EXPECT_EQ(Buffer.ReadJSONValue(), std::nullopt);
  EXPECT_TRUE(Buffer.ReadCallback());
  EXPECT_EQ(Buffer.ReadTableHandle(), 4);
  EXPECT_EQ(Buffer.Offset(), Buffer.ReadSizeBytes());
  EXPECT_EQ(Buffer.CurrentOrdinal(), 24);
}

TEST(RowBuffer, DecimalsAsTextAndInTheBigDecimalForm) {
  for (const char* Bad : {"", "-", "1,5", "1e5", "+1", "1.2.3", " 1"}) {
    TDBXRowBuffer Buffer;
    ExpectError([&] { Buffer.WriteBcd(Bad); }, 2, "Invalid decimal text");
    EXPECT_EQ(Buffer.Offset(), 0) << Bad;
  }
  struct Case { std::string Bytes; std::string Text; };
  const Case Cases[] = {
      {"63 02 04 D2", "12.34"},
      {"23 02 04 D2", "-12.34"},
      {"63 82 FB 2E", "-12.34"},
      {"62 03 05", "0.005"},
      {"61 00", "0"},
      {"C0", ""},
  };
  for (const auto& c : Cases) {
    TDBXRowBuffer Buffer;
    Buffer.SetBcdFormat(kBcdFormatBigDecimal);
    LoadRowBlock(Buffer, Hex(c.Bytes));
    EXPECT_EQ(Buffer.ReadBcd(), c.Text) << c.Bytes;
  }
  TDBXRowBuffer Buffer;
  Buffer.SetBcdFormat(kBcdFormatBigDecimal);
  LoadRowBlock(Buffer, Hex("6A 00 01 00 00 00 00 00 00 00 00"));
  ExpectError([&] { Buffer.ReadBcd(); }, 14, "BCD to big");
}

TEST(RowBuffer, TimeStampOffsetTextMustMatchThePattern) {
  for (const char16_t* Bad : {u"2013-03-15 09:05:07", u"3/15/2013 9:05:07:5",
                              u"13/15/2013 9:05:07:5 +00:00", u"3/15/2013 9:05:07:5 +00:00 ",
                              u""}) {
    TDBXRowBuffer Buffer;
    Buffer.WriteString(Bad);
    Rewind(Buffer);
    ExpectError([&] { Buffer.ReadTimeStampOffset(); }, 2, "Invalid timestamp offset text");
  }
}

// Three columns, three rows; the second row has a three-byte length header.
std::vector<std::uint8_t> ThreeRows() {
  TDBXRowBuffer Buffer;
  Buffer.WriteInt32(1);
  Buffer.WriteString(u"Lo");
  Buffer.WriteNull();
  Buffer.WriteInt32(256);
  Buffer.WriteString(Wide(Letters(40)));
  Buffer.WriteBoolean(true);
  Buffer.WriteInt32(-1);
  Buffer.WriteString(u"");
  Buffer.WriteDouble(1.0);
  return {Buffer.WrittenBytes().begin(), Buffer.WrittenBytes().end()};
}

TEST(RowBuffer, RowsAndFieldsAreFoundBySkipping) {
  TDBXRowBuffer Buffer;
  Buffer.SetColumnCount(3);
  LoadRowBlock(Buffer, ThreeRows());
  EXPECT_EQ(Buffer.ReadInt32(), 1);
  ASSERT_TRUE(Buffer.NextRow());  // skips the rest of row 0
  EXPECT_EQ(Buffer.CurrentRow(), 1);
  Buffer.GoToField(2);
  EXPECT_TRUE(Buffer.ReadBoolean());
  Buffer.GoToField(0);  // back to the row's start
  EXPECT_EQ(Buffer.ReadInt32(), 256);
  ASSERT_TRUE(Buffer.NextRow());
  EXPECT_EQ(Buffer.RowCount(), 3);
  EXPECT_FALSE(Buffer.NextRow());

  ASSERT_TRUE(Buffer.GoToRow(0));
  Buffer.GoToField(1);
  EXPECT_EQ(Buffer.ReadString(), u"Lo");
  ASSERT_TRUE(Buffer.GoToRow(2));
  EXPECT_EQ(Buffer.CurrentTotalRow(), 2);
  Buffer.GoToField(2);
  EXPECT_EQ(Buffer.ReadDouble(), 1.0);
  EXPECT_FALSE(Buffer.GoToRow(3));

  // Rows are found on first visit too, and counted on across blocks.
  TDBXRowBuffer Fresh;
  Fresh.SetColumnCount(3);
  LoadRowBlock(Fresh, ThreeRows());
  ASSERT_TRUE(Fresh.GoToRow(2));
  EXPECT_EQ(Fresh.ReadInt32(), -1);
  Fresh.ReadSize(Fresh.ReadSizeBytes());  // the next block
  EXPECT_EQ(Fresh.CurrentRow(), 0);
  EXPECT_EQ(Fresh.CurrentTotalRow(), 3);
  Fresh.Cancel();
  EXPECT_EQ(Fresh.CurrentTotalRow(), 0);
}

TEST(RowBuffer, SkippingANullABooleanOrACallbackAdvancesOneByte) {
  TDBXRowBuffer Buffer;
  Buffer.SetColumnCount(4);
  LoadRowBlock(Buffer, Hex("C0 60 02 61 09  20 02 C0 61 08"));
  EXPECT_TRUE(Buffer.NextRow());
  EXPECT_EQ(Buffer.Offset(), 5);
  for (std::int32_t Ordinal = 1; Ordinal <= 3; ++Ordinal) {
    Buffer.GoToField(Ordinal);
    EXPECT_EQ(Buffer.Offset(), 5 + Ordinal);
  }
  EXPECT_EQ(Buffer.ReadInt32(), 8);
}

TEST(RowBuffer, LengthHeaderReadAloneIsReadAgainByTheNextStep) {
  const std::u16string Long = Wide(Letters(40));
  TDBXRowBuffer Buffer;
  Buffer.SetColumnCount(2);
  for (int Row = 0; Row < 2; ++Row) {
    Buffer.WriteString(Long);
    Buffer.WriteInt32(Row + 7);
  }
  Rewind(Buffer);
  EXPECT_EQ(Buffer.EncodedStringLength(), 40);
  EXPECT_EQ(Buffer.EncodedStringLength(), 40);  // asking twice gives the same
  EXPECT_EQ(Buffer.ReadString(), Long);         // and the value is still whole
  EXPECT_EQ(Buffer.ReadInt32(), 7);

  ASSERT_TRUE(Buffer.GoToRow(0));
  EXPECT_EQ(Buffer.EncodedStringLength(), 40);
  Buffer.GoToField(1);
  EXPECT_EQ(Buffer.ReadInt32(), 7);

  ASSERT_TRUE(Buffer.GoToRow(0));
  EXPECT_EQ(Buffer.EncodedStringLength(), 40);
  ASSERT_TRUE(Buffer.NextRow());
  EXPECT_EQ(Buffer.CurrentRow(), 1);
  EXPECT_EQ(Buffer.ReadString(), Long);
  EXPECT_EQ(Buffer.ReadInt32(), 8);

  // A blob header's length is the size it announces; a null's is 0.
  TDBXRowBuffer Blob;
  LoadRowBlock(Blob, Hex("08 00 01 00 00 C0"));
  EXPECT_EQ(Blob.EncodedStringLength(), 65536);
  Blob.SkipValue();
  EXPECT_EQ(Blob.Offset(), 5);
  EXPECT_EQ(Blob.EncodedStringLength(), 0);
  ExpectError([&] {
    TDBXRowBuffer Callback;
    LoadRowBlock(Callback, Hex("02"));
    Callback.EncodedStringLength();
  }, 0, "Unexpected header");
}

TEST(RowBuffer, ZeroTerminatedStringsAreAcceptedOnReading) {
  TDBXRowBuffer Two;
  Two.SetTwoByteStringTerminator(true);
  LoadRowBlock(Two, Hex("00 4C 6F 00 00  00 00 00  61 07"));
  EXPECT_EQ(Two.ReadString(), u"Lo");
  EXPECT_EQ(Two.ReadString(), u"");
  EXPECT_EQ(Two.ReadInt32(), 7);

  TDBXRowBuffer Three;
  LoadRowBlock(Three, Hex("00 4C FF 00 41 00 00 00  61 07"));
  EXPECT_EQ(Three.ReadString(), u"LA");  // wide text needs the three-byte terminator
  EXPECT_EQ(Three.ReadInt32(), 7);
}

TEST(RowBuffer, PostAndCancelEmptyTheBufferForReuse) {
  TDBXRowBuffer Buffer;
  Buffer.WriteInt32(1);
  Buffer.WriteString(u"Lo");
  const std::int32_t Length = Buffer.BufLength();
  Buffer.Post();
  EXPECT_EQ(Buffer.Offset(), 0);
  EXPECT_EQ(Buffer.CurrentOrdinal(), 0);
  Buffer.WriteNull();
  EXPECT_EQ(ToHex(Buffer.WrittenBytes()), "C0");
  EXPECT_EQ(Buffer.BufLength(), Length);

  Rewind(Buffer);
  EXPECT_TRUE(Buffer.Null());
  Buffer.Cancel();
  EXPECT_EQ(Buffer.ReadSizeBytes(), 0);
  EXPECT_FALSE(Buffer.Null());  // nothing left to read
}

TEST(RowBuffer, ReadDataBytesLoadsABlockFromTheStream) {
  TDBXMemoryChannel Channel(3);  // small reads: the block spans refills
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 64);
  Channel.Feed(std::string("{\"data\":[6,") + "\x61\x01\x22\x4C\x6F\xC0" + "]}{\"data\":[0]}");
  TDBXRowBuffer Buffer;
  Buffer.SetStreams(&Reader, nullptr);
  const auto OpenData = [&] {
    Reader.Next(TDBXTokens::ObjectStart);
    ASSERT_EQ(Reader.ReadStringCode(), TDBXStringCodes::Data);
    Reader.Next(TDBXTokens::NameSeparator);
    Reader.Next(TDBXTokens::ArrayStart);
  };
  OpenData();
  Buffer.ReadDataBytes();
  Reader.SkipToEndOfObject();
  EXPECT_EQ(Buffer.MinBufSize(), 6);
  EXPECT_EQ(Buffer.ReadSizeBytes(), 6);
  EXPECT_EQ(Buffer.ReadInt32(), 1);
  EXPECT_EQ(Buffer.ReadString(), u"Lo");
  EXPECT_TRUE(Buffer.Null());

  OpenData();
  Buffer.ReadDataBytes();
  Reader.SkipToEndOfObject();
  EXPECT_EQ(Buffer.ReadSizeBytes(), 0);
  EXPECT_EQ(Buffer.Offset(), 0);
  EXPECT_EQ(Channel.PendingBytes(), 0u);
}

}  // namespace
}  // namespace tavrin
