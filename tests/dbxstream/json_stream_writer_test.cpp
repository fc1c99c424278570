#include "dbxstream/json_stream_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbxstream/memory_channel.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/stream.h"

namespace tavrin {
namespace {

std::vector<std::uint8_t> BytesOf(std::string_view Text) { return {Text.begin(), Text.end()}; }

// Records the size of every Write, so tests can see where buffers were cut.
class TRecordingChannel : public TDBXMemoryChannel {
 public:
  void Write(std::span<const std::uint8_t> Bytes) override {
    Sizes.push_back(Bytes.size());
    TDBXMemoryChannel::Write(Bytes);
  }
  std::vector<std::size_t> Sizes;
};

class JsonStreamWriterTest : public ::testing::Test {
 protected:
  TRecordingChannel Channel;
  TDBXJSonStreamWriter Writer{Channel, 0};

  std::string Flushed() {
    Writer.Flush();
    return Channel.WrittenText();
  }
};

TEST_F(JsonStreamWriterTest, WritesStringsOneBytePerCharacterUpToFFAndEscapesTheRest) {
  struct TCase {
    std::u16string Text;
    std::string Bytes;
  };
  const std::vector<TCase> Cases = {
      {u"\u00e9", "\"\xE9\""},
      {u"\u0100", "\"\\u0100\""},
      {u"\u001f", "\"\\u001F\""},
      {u"a/b", "\"a/b\""},
      {u"\b\t\n\f\r\"\\", "\"\\b\\t\\n\\f\\r\\\"\\\\\""},
      {std::u16string(u"\u0000\u007f\u00ff\uabcd", 4), "\"\\u0000\x7F\xFF\\uABCD\""},
      {u"\U0001F600", "\"\\uD83D\\uDE00\""},
      {u"", "\"\""},
  };
  for (const auto& Case : Cases) {
    Channel.ClearWritten();
    Writer.WriteString(Case.Text);
    EXPECT_EQ(Flushed(), Case.Bytes);
  }
}

TEST_F(JsonStreamWriterTest, WritesIntegersAsPlainDecimal) {
  struct TCase {
    std::function<void(TDBXJSonStreamWriter&)> Write;
    std::string Bytes;
  };
  const std::vector<TCase> Cases = {
      {[](auto& w) { w.WriteInt(0); }, "0"},
      {[](auto& w) { w.WriteInt(-7); }, "-7"},
      {[](auto& w) { w.WriteInt(10); }, "10"},
      {[](auto& w) { w.WriteInt(INT32_MAX); }, "2147483647"},
      {[](auto& w) { w.WriteInt(INT32_MIN); }, "-2147483648"},
      {[](auto& w) { w.WriteLong(4294967296LL); }, "4294967296"},
      {[](auto& w) { w.WriteLong(INT64_MAX); }, "9223372036854775807"},
      {[](auto& w) { w.WriteLong(INT64_MIN); }, "-9223372036854775808"},
      {[](auto& w) { w.WriteShort(-300); }, "-300"},
      {[](auto& w) { w.WriteByte(-128); }, "-128"},
      {[](auto& w) { w.WriteFloat(1.5f); w.WriteDouble(2.5); }, ""},
      {[](auto& w) { w.WriteBoolean(true); w.WriteBoolean(false); w.WriteNull(); }, "truefalsenull"},
      {[](auto& w) { w.WriteNamedString(u"a", u"b"); }, "\"a\":\"b\""},
      {[](auto& w) {
         w.WriteObjectStart(); w.WriteArrayStart(); w.WriteArrayEnd(); w.WriteObjectEnd();
         w.WriteValueSeparator(); w.WriteNameSeparator(); w.WriteSpace(); w.WriteParamsStart();
       },
       "{[]},: \"params\":["},
  };
  for (const auto& Case : Cases) {
    Channel.ClearWritten();
    Case.Write(Writer);
    EXPECT_EQ(Flushed(), Case.Bytes);
  }
}

// Every message shape: its bytes, and whether the operation flushes by itself.
TEST_F(JsonStreamWriterTest, WritesEveryMessageShapeByteExact) {
  struct TCase {
    const char* Name;
    std::function<void(TDBXJSonStreamWriter&)> Write;
    std::string Bytes;
    bool Flushes;
  };
  const std::vector<std::uint8_t> Raw = {0x00, 0xFF, '}'};
  const std::vector<TCase> Cases = {
      {"connect start", [](auto& w) { w.WriteConnectObjectStart(); },
       R"({"method":"connect","params":[{)", false},
      {"disconnect", [](auto& w) { w.WriteDisconnectObject(3); },
       R"({"method":"disconnect","params":[3]})", true},
      {"prepare start", [](auto& w) { w.WritePrepareStart(); },
       R"({"method":"prepare","params":[)", false},
      {"execute start + handle", [](auto& w) { w.WriteExecuteStart(); w.WriteHandleObject(4); },
       R"({"method":"execute","params":[{"handle":[4]})", false},
      {"execute fields",
       [](auto& w) { w.WriteExecuteFieldsObject(2, u"Type", u"Text"); },
       R"({"fields":[2,false,"Type","Text"]})", false},
      {"command close", [](auto& w) { w.WriteCommandCloseObject(5); },
       R"({"method":"command_close","params":[5]})", true},
      {"reader close", [](auto& w) { w.WriteReaderCloseObject(6, 7); },
       R"({"method":"reader_close","params":[6,7]})", true},
      {"client next", [](auto& w) { w.WriteClientNextObject(1, 5000000000LL, 2); },
       R"({"method":"next","params":[1,5000000000,2]})", false},
      {"server next", [](auto& w) { w.WriteServerNextObject(1, -1, 2); },
       R"({"next":[1,-1,2]})", false},
      {"client more blob", [](auto& w) { w.WriteClientMoreBlobObject(1, 2, 3, 4, true, 5); },
       R"({"method":"more_blob","params":[1,2,3,4,true,5]})", true},
      {"server more blob", [](auto& w) { w.WriteServerMoreBlobObject(1, 2, 3, 4, 5); },
       R"({"more_blob":[1,2,3,4,5]})", true},
      {"next result", [](auto& w) { w.WriteNextResultObject(9); },
       R"({"method":"next_result","params":[9]})", false},
      {"txbegin", [](auto& w) { w.WriteTxBegin(2); }, R"({"method":"txbegin","params":[2]})",
       true},
      {"txend", [](auto& w) { w.WriteTxEnd(false, 8); },
       R"({"method":"txend","params":[false,8]})", true},
      {"vendor property", [](auto& w) { w.WriteVendorProperty(u"P"); },
       R"({"method":"vendor_property","params":["P"]})", true},
      {"result start", [](auto& w) { w.WriteResultObjectStart(); }, R"({"result":[)", false},
      {"result", [](auto& w) { w.WriteResultObject(-5000000000LL); },
       R"({"result":[-5000000000]})", true},
      {"void result", [](auto& w) { w.WriteResultVoidObject(); }, R"({"result":[]})", true},
      {"parameters",
       [](auto& w) {
         w.WriteParametersObjectStart(2);
         w.WriteParameterDescription(26, 0, 1, 4294967296LL, -1, u"A", 0, 16, 8);
         w.WriteParameterDescription(6, 0, 4, 0, 0, u"", 0, 0, 64, u"lit");
         w.WriteParametersObjectEnd();
       },
       R"({"parameters":[2,[26,0,1,4294967296,-1,"A",0,16,8],[6,0,4,0,0,"",0,0,64,"lit"]]})",
       false},
      {"rows", [](auto& w) { w.WriteRowsObject(12); }, R"({"rows":[12]})", false},
      {"rows start", [](auto& w) { w.WriteRowsObjectStart(); }, R"({"rows":[)", false},
      {"row data", [&Raw](auto& w) { w.WriteDataObject(std::span<const std::uint8_t>(Raw)); },
       std::string("{\"data\":[3,\x00\xFF}]}", 16), false},
      {"row stream data", [&Raw](auto& w) { w.WriteRowStreamDataObject(-3, Raw); },
       std::string("{\"data\":[-3,\x00\xFF}]}", 17), false},
      {"row stream data, none", [](auto& w) { w.WriteRowStreamDataObject(0, {}); },
       R"({"data":[0]})", false},
      {"table",
       [](auto& w) {
         w.WriteTableObjectStart(1, true, 2, 3, 2);
         w.WriteColumnDescription(u"CODIGO", 6, 0, 10, 0, 4, 0, 0);
         w.WriteColumnDescription(u"PRE\u00c7O", 7, 0, 8000000000LL, 2, 8, 4, 1);
         w.WriteTableObjectEnd();
       },
       "{\"table\":[{\"fields\":[1,true,2,3,true]},{\"columns\":[2,[\"CODIGO\",6,0,10,0,4,0,0],"
       "[\"PRE\xC7O\",7,0,8000000000,2,8,4,1]]}]}",
       false},
      {"error", [](auto& w) { w.WriteRpcError(u"EX", 7, u"Falhou", false); },
       R"({"error":{"name":"EX","code":7,"message":"Falhou"})", false},
      {"error with pairs", [](auto& w) { w.WriteRpcError(u"EX", -1, u"m", true); },
       R"({"error":{"name":"EX","code":-1,"message":"m","error":{}})", false},
      {"metadata", [](auto& w) { w.WriteMetadata(BytesOf(R"({"a":1})")); },
       R"({"metadata":[7,{"a":1}]})", false},
      {"callback", [](auto& w) { w.WriteCallback(BytesOf("[]")); }, R"({"callback":[2,[]]})",
       false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Channel.ClearWritten();
    Case.Write(Writer);
    EXPECT_EQ(Channel.WriteCalls(), Case.Flushes ? 1 : 0);
    EXPECT_EQ(Flushed(), Case.Bytes);
  }
}

TEST_F(JsonStreamWriterTest, ErrorReplyLeavesTheOuterObjectOpenAndTheNextReplyFollowsDirectly) {
  Writer.WriteRpcError(u"E", 2, u"x", false);
  Writer.WriteResultVoidObject();
  EXPECT_EQ(Channel.WrittenText(), R"({"error":{"name":"E","code":2,"message":"x"}{"result":[]})");
}

TEST(JsonStreamWriter, MessageLargerThanTheBufferGoesOutAsFullBuffersPlusTheFinalFlush) {
  const auto Compose = [](TDBXJSonStreamWriter& w) {
    std::vector<std::uint8_t> Block(150);
    for (std::size_t i = 0; i < Block.size(); ++i) Block[i] = static_cast<std::uint8_t>(i);
    w.WriteExecuteStart();
    w.WriteHandleObject(1);
    w.WriteValueSeparator();
    w.WriteDataObject(std::span<const std::uint8_t>(Block));
    w.WriteValueSeparator();
    w.WriteString(std::u16string(70, u'\u0100'));
    w.WriteLong(INT64_MIN);
    w.WriteArrayEnd();
    w.WriteObjectEnd();
    w.Flush();
  };
  TRecordingChannel Big;
  TDBXJSonStreamWriter Unlimited(Big, 65536);
  Compose(Unlimited);
  TRecordingChannel Small;
  TDBXJSonStreamWriter Limited(Small, 32);
  Compose(Limited);

  EXPECT_EQ(Small.Written(), Big.Written());
  ASSERT_GE(Small.Sizes.size(), 2u);
  for (std::size_t i = 0; i + 1 < Small.Sizes.size(); ++i) EXPECT_EQ(Small.Sizes[i], 32u);
  EXPECT_GT(Small.Sizes.back(), 0u);
  EXPECT_LE(Small.Sizes.back(), 32u);
}

// A stream that hands out its bytes in the piece sizes it is asked for, and may not know
// its end in advance.
class TPieceStream : public TStream {
 public:
  TPieceStream(std::string Bytes, bool KnowsEnd) : FBytes(std::move(Bytes)), FKnowsEnd(KnowsEnd) {}
  std::int64_t Read(std::span<std::uint8_t> Buffer) override {
    if (FFail) throw TDBXError(5, "source failed");
    const std::size_t n = std::min(Buffer.size(), FBytes.size() - FPosition);
    std::copy_n(FBytes.begin() + static_cast<std::ptrdiff_t>(FPosition), n, Buffer.begin());
    FPosition += n;
    return static_cast<std::int64_t>(n);
  }
  bool AtEnd() const override { return FKnowsEnd && FPosition == FBytes.size(); }
  bool FFail = false;

 private:
  std::string FBytes;
  std::size_t FPosition = 0;
  bool FKnowsEnd;
};

TEST(JsonStreamWriter, StreamDataObjectPadsTheCountToNineCharactersAndNegatesTheLastPiece) {
  TRecordingChannel Channel;
  TDBXJSonStreamWriter Writer(Channel, 0);
  TBytesStream Five(BytesOf("hello"));
  EXPECT_TRUE(Writer.WriteDataObject(Five));
  EXPECT_EQ(Channel.WrittenText(), "{\"data\":[-5       ,hello]}");
  EXPECT_EQ(Channel.WriteCalls(), 1);
}

TEST(JsonStreamWriter, StreamDataObjectSplitsASourceIntoPiecesThatFillTheBuffer) {
  // A 32-byte buffer holds 32 - 8 - 13 = 11 data bytes per piece.
  struct TCase {
    const char* Name;
    std::string Source;
    bool KnowsEnd;
    std::vector<std::string> Pieces;
  };
  const std::vector<TCase> Cases = {
      {"short last piece", std::string(25, 'x'), true,
       {"{\"data\":[11       ,xxxxxxxxxxx]}", "{\"data\":[11       ,xxxxxxxxxxx]}",
        "{\"data\":[-3       ,xxx]}"}},
      {"end known at a full piece", std::string(11, 'y'), true,
       {"{\"data\":[-11      ,yyyyyyyyyyy]}"}},
      {"end learnt from an empty read", std::string(11, 'z'), false,
       {"{\"data\":[11       ,zzzzzzzzzzz]}", "{\"data\":[0        ,]}"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TRecordingChannel Channel;
    TDBXJSonStreamWriter Writer(Channel, 32);
    TPieceStream Source(Case.Source, Case.KnowsEnd);
    std::vector<std::string> Pieces;
    bool Last = false;
    while (!Last) {
      Channel.ClearWritten();
      Last = Writer.WriteDataObject(Source);
      Pieces.push_back(Channel.WrittenText());
      ASSERT_LE(Pieces.size(), Case.Pieces.size());
    }
    EXPECT_EQ(Pieces, Case.Pieces);
  }
}

TEST(JsonStreamWriter, StreamDataObjectStartsAFreshBufferWhenTooLittleRoomIsLeft) {
  TRecordingChannel Channel;
  TDBXJSonStreamWriter Writer(Channel, 32);
  Writer.WriteString(u"0123456789");  // 12 bytes pending: no room for a data byte
  TBytesStream Source(BytesOf("ab"));
  EXPECT_TRUE(Writer.WriteDataObject(Source));
  EXPECT_EQ(Channel.Sizes, (std::vector<std::size_t>{12, 23}));
  EXPECT_EQ(Channel.WrittenText(), "\"0123456789\"{\"data\":[-2       ,ab]}");
}

TEST(JsonStreamWriter, FailingSourceLeavesNoHalfObjectBehind) {
  TRecordingChannel Channel;
  TDBXJSonStreamWriter Writer(Channel, 0);
  Writer.WriteResultObjectStart();
  TPieceStream Source("abc", true);
  Source.FFail = true;
  EXPECT_THROW(Writer.WriteDataObject(Source), TDBXError);
  Writer.Flush();
  EXPECT_EQ(Channel.WrittenText(), R"({"result":[)");
}

// A channel whose first Write fails, like a socket that drops a send once.
class TFailOnceChannel : public TDBXMemoryChannel {
 public:
  void Write(std::span<const std::uint8_t> Bytes) override {
    if (FFailNext) {
      FFailNext = false;
      throw TDBXError(1, "send failed");
    }
    TDBXMemoryChannel::Write(Bytes);
  }

 private:
  bool FFailNext = true;
};

TEST(JsonStreamWriter, FailedChannelWriteKeepsTheFullBufferForTheNextAttempt) {
  TFailOnceChannel Channel;
  TDBXJSonStreamWriter Writer(Channel, 32);
  const std::string Text(40, 'q');
  const std::u16string Wide(Text.begin(), Text.end());
  EXPECT_THROW(Writer.WriteString(Wide), TDBXError);
  EXPECT_EQ(Writer.WriteBufferPosition(), 31);
  Writer.Flush();
  EXPECT_EQ(Channel.WrittenText(), "\"" + std::string(31, 'q'));
}

TEST(JsonStreamWriter, CallersPlaceBytesDirectlyAndSkipOverThem) {
  TDBXMemoryChannel Channel;
  TDBXJSonStreamWriter Writer(Channel, 32);
  Writer.WriteDataObjectStart();
  Writer.WriteInt(2);
  Writer.WriteValueSeparator();
  auto Free = Writer.FreeSpace();
  ASSERT_EQ(Free.size(), 32u - 11u);
  Free[0] = 'o';
  Free[1] = 'k';
  Writer.Skip(2);
  Writer.WriteArrayEnd();
  Writer.WriteObjectEnd();
  EXPECT_THROW(Writer.Skip(32), std::out_of_range);
  EXPECT_THROW(Writer.Skip(-1), std::out_of_range);
  Writer.Flush();
  EXPECT_EQ(Channel.WrittenText(), R"({"data":[2,ok]})");
  EXPECT_EQ(Writer.WriteBufferPosition(), -1);
}

TEST(JsonStreamWriter, SizesBuffersAndMirrorsTheChannelState) {
  TDBXMemoryChannel Channel;
  EXPECT_EQ(TDBXJSonStreamWriter(Channel, 0).WriteBufferSize(), 8192);
  EXPECT_EQ(TDBXJSonStreamWriter(Channel, 32768).CalcRowBufferSize(), 30720);
  EXPECT_EQ(TDBXJSonStreamWriter(Channel, 2048).CalcRowBufferSize(), 0);
  EXPECT_EQ(TDBXJSonStreamWriter(Channel, 2047).CalcRowBufferSize(), 2047);
  EXPECT_THROW(TDBXJSonStreamWriter(Channel, 16), std::invalid_argument);

  TDBXJSonStreamWriter Writer(Channel, 0);
  EXPECT_FALSE(Writer.Closed());
  EXPECT_FALSE(Writer.ConnectionLost());
  Channel.SetConnectionLost(true);
  EXPECT_TRUE(Writer.ConnectionLost());
}

}  // namespace
}  // namespace tavrin
