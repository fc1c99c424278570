#include "dbxstream/json_stream_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dbxstream/json_stream_writer.h"
#include "dbxstream/memory_channel.h"
#include "dbxstream/stream_keywords.h"
#include "dbxstream/stream_tokens.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"
#include "vocabulary/stream.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

namespace tk = TDBXTokens;

class JsonStreamReaderTest : public ::testing::Test {
 protected:
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader{Channel, Context, 0};
};

TEST_F(JsonStreamReaderTest, NextReturnsTheKindOfEveryToken) {
  Channel.Feed("{ }\t[\r\n] true false null \" : , 5");
  const std::vector<std::int32_t> Kinds = {tk::ObjectStart, tk::ObjectEnd, tk::ArrayStart,
                                           tk::ArrayEnd,    tk::True,      tk::False,
                                           tk::Null,        tk::StringStart, tk::NameSeparator,
                                           tk::ValueSeparator, tk::Number};
  for (const auto Kind : Kinds) {
    EXPECT_EQ(Reader.Next(), Kind);
    if (Kind == tk::True || Kind == tk::False) {
      EXPECT_EQ(Reader.GetBooleanValue(), Kind == tk::True);
    }
  }
  EXPECT_FALSE(Reader.HasMoreBytes());
}

// A string longer than two of the pieces a long string is read in, with an escape every
// 1,000 characters, so that plain runs and escapes both meet a piece's end.
std::pair<std::string, std::u16string> LongStringWithEscapes() {
  const std::size_t Units = limits::kLongValuePieceBytes + 300'001;
  std::string Wire = "\"";
  std::u16string Text;
  for (std::size_t i = 0; i < Units; ++i) {
    if (i % 1000 == 999) {
      Wire += "\\u0100";
      Text += u'\u0100';
    } else {
      Wire += static_cast<char>('a' + i % 26);
      Text += static_cast<char16_t>(u'a' + i % 26);
    }
  }
  return {Wire + "\"", Text};
}

TEST_F(JsonStreamReaderTest, ReadsStringsByteForByteAndDecodesEscapes) {
  struct TCase {
    std::string Wire;
    std::u16string Text;
  };
  const auto [LongWire, LongText] = LongStringWithEscapes();
  const std::vector<TCase> Cases = {
      {LongWire, LongText},
      {R"("\u00e9\/")", u"\u00e9/"},
      {R"("\u00E9\u0100\uD83D\uDE00")", u"\u00e9\u0100\U0001F600"},
      {R"("\"\\\b\f\n\r\t\x")", u"\"\\\b\f\n\r\tx"},
      {"\"\x80\xE9\xFF\"", u"\u0080\u00e9\u00ff"},
      {R"("")", u""},
      {std::string(300, 'a').insert(0, 1, '"') + '"', std::u16string(300, u'a')},
  };
  for (const auto& Case : Cases) {
    Channel.Feed(Case.Wire);
    EXPECT_EQ(Reader.ReadString(), Case.Text);
    EXPECT_EQ(Reader.GetStringValue(), Case.Text);
    EXPECT_EQ(Reader.GetToken(), tk::String);
  }
  // Read into a caller's string: a long one changes hands whole, a short one is copied.
  for (const auto& Case : {Cases[0], Cases[1]}) {
    std::u16string Into = u"old";
    TClientMemoryHold Hold;
    Channel.Feed(Case.Wire);
    Reader.ReadString(Into, Hold);
    EXPECT_EQ(Into, Case.Text);
  }
  // After a string-start token the opening quote is already consumed.
  Channel.Feed(R"(["x", "y"])");
  Reader.Next(tk::ArrayStart);
  Reader.Next(tk::StringStart);
  EXPECT_EQ(Reader.ReadString(), u"x");
  Reader.NextValueSeparator();
  EXPECT_EQ(Reader.ReadString(), u"y");  // passes over the blank to the quote
  Reader.Next(tk::ArrayEnd);
}

TEST_F(JsonStreamReaderTest, ReadStringCodeRecognisesEveryKeywordExactly) {
  for (std::int32_t Code = TDBXStringCodes::Result; Code <= TDBXStringCodes::Metadata; ++Code) {
    if (Code == 6) continue;  // not assigned
    const auto Word = KeywordOf(Code);
    ASSERT_FALSE(Word.empty()) << Code;
    Channel.Feed("\"" + std::string(Word.begin(), Word.end()) + "\"");
    EXPECT_EQ(Reader.ReadStringCode(), Code);
    EXPECT_EQ(Reader.GetStringCode(), Code);
    EXPECT_EQ(Reader.GetStringValue(), u"null");
  }
  for (const char* Other : {R"("Result")", R"("results")", R"("resul")", R"("")", R"("x")"}) {
    Channel.Feed(Other);
    EXPECT_EQ(Reader.ReadStringCode(), TDBXStringCodes::Other) << Other;
  }
}

TEST_F(JsonStreamReaderTest, ReadsPlainIntegersRightAfterTheirSeparator) {
  struct TCase {
    std::string Wire;  // after a '['
    std::int64_t Value;
    bool Long;
  };
  const std::vector<TCase> Cases = {
      {"5]", 5, false},
      {"]", 0, false},
      {"-7]", -7, false},
      {"+12]", 12, false},
      {"2147483647]", INT32_MAX, false},
      {"-2147483648]", INT32_MIN, false},
      {"4294967296]", 4294967296LL, true},
      {"9223372036854775807]", INT64_MAX, true},
      {"-9223372036854775808]", INT64_MIN, true},
      {"00042]", 42, true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Wire);
    Channel.Feed("[" + Case.Wire);
    Reader.Next(tk::ArrayStart);
    EXPECT_EQ(Case.Long ? Reader.ReadLong() : Reader.ReadInt(), Case.Value);
    Reader.Next(tk::ArrayEnd);  // the ']' stays for the next token
  }
  Channel.Feed("[1,-2]");
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(Reader.ReadShort(), 1);
  Reader.NextValueSeparator();
  EXPECT_EQ(Reader.ReadInt(), -2);
  EXPECT_FLOAT_EQ(Reader.ReadFloat(), 0);
  EXPECT_DOUBLE_EQ(Reader.ReadDouble(), 0);
  EXPECT_EQ(Reader.ReadByte(), 0);
  Reader.Next(tk::ArrayEnd);
}

TEST_F(JsonStreamReaderTest, RefusesNumbersThatAreNotPlainIntegersOrDoNotFit) {
  struct TCase {
    std::string Wire;  // after a '['
    bool Long;
    std::string Message;
  };
  const std::vector<TCase> Cases = {
      {" 5]", false, "Unexpected byte at position:  0\n[ 5]"},
      {"x]", false, "Unexpected byte at position:  0\n[x]"},
      {"1.5]", false, "Not an integer literal at position:  3\n[1.5]"},
      {"1E3]", false, "Not an integer literal at position:  3\n[1E3]"},
      {"5-]", false, "Not an integer literal at position:  2\n[5-]"},
      {"-]", false, "Not an integer literal at position:  1\n[-]"},
      {"2147483648]", false, "Integer literal out of range at position:  10\n[2147483648]"},
      {"-2147483649]", false, "Integer literal out of range at position:  11\n[-2147483649]"},
      {"9223372036854775808]", true,
       "Integer literal out of range at position:  19\n[9223372036854775808]"},
      {"99999999999999999999]", true,
       "Integer literal out of range at position:  20\n[99999999999999999999]"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Wire);
    Channel.Feed("[" + Case.Wire);
    Reader.Next(tk::ArrayStart);
    const auto Error = ErrorOf([&] {
      if (Case.Long) {
        Reader.ReadLong();
      } else {
        Reader.ReadInt();
      }
    });
    EXPECT_EQ(Error.ErrorCode(), 2);
    EXPECT_EQ(Error.Message(), Case.Message);
    EXPECT_FALSE(Reader.HasMoreBytes());  // the rest of the input was dropped
  }
}

TEST_F(JsonStreamReaderTest, RaisesEveryTokenErrorWithItsExactTextAndDump) {
  struct TCase {
    std::string Wire;
    std::function<void(TDBXJSonStreamReader&)> Read;
    std::string Message;
  };
  const std::vector<TCase> Cases = {
      {"[", [](auto& r) { r.Next(tk::ObjectStart); },
       "Expected:  '{' found:  '[' at position:  0\n["},
      {" 7", [](auto& r) { r.Next(tk::StringStart); },
       "Expected:  '\"' found:  '-+0-9.' at position:  1\n 7"},
      {"\"a\"", [](auto& r) { r.NextValueSeparator(); },
       "Expected:  ',' found:  '\"' at position:  0\n\"a\""},
      {"null", [](auto& r) { r.ReadBoolean(); },
       "Expected:  'true' found:  'null' at position:  3\nnull"},
      {"tru ", [](auto& r) { r.Next(); }, "Expected:  'true at position:  3\ntru "},
      {"falze", [](auto& r) { r.Next(); }, "Expected:  'false at position:  3\nfalze"},
      {"nul}", [](auto& r) { r.Next(); }, "Expected:  'null at position:  3\nnul}"},
      {"\x01\xE9\x7F", [](auto& r) { r.Next(tk::ArrayEnd); },
       "Expected:  ']' found:  '-+0-9.' at position:  0\n#1#233#127"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Message);
    Channel.Feed(Case.Wire);
    const auto Error = ErrorOf([&] { Case.Read(Reader); });
    EXPECT_EQ(Error.ErrorCode(), 2);
    EXPECT_EQ(Error.Message(), Case.Message);
  }
  EXPECT_EQ(TokenName(1), "Unknown");
  EXPECT_EQ(TokenName(14), "Unknown");
}

TEST_F(JsonStreamReaderTest, ChannelDeliveringNothingIsAReadError) {
  const auto Error = ErrorOf([&] { Reader.Next(); });
  EXPECT_EQ(Error.ErrorCode(), 1);
  EXPECT_EQ(Error.Message(), "Read error");
  Channel.Feed("{");  // the reader is still usable
  EXPECT_EQ(Reader.Next(), tk::ObjectStart);
}

TEST_F(JsonStreamReaderTest, ErrorDropsTheRestOfTheBufferAndTheNextReadTakesFreshBytes) {
  Channel.Feed("[xyz");
  Channel.Feed("{}");
  EXPECT_THROW(Reader.Next(tk::ObjectStart), TDBXError);
  EXPECT_EQ(Reader.Next(), tk::ObjectStart);
  EXPECT_EQ(Reader.Next(), tk::ObjectEnd);
}

TEST(JsonStreamReader, ReadsDataBytesAcrossRefills) {
  TDBXMemoryChannel Channel(3);  // at most 3 bytes per read
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 4);
  Channel.Feed(std::string("[7,ab\x00\xFF]\"c\",d]", 14));
  Reader.Next(tk::ArrayStart);
  const auto Count = Reader.ReadInt();
  ASSERT_EQ(Count, 7);
  Reader.NextValueSeparator();
  std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Count));
  Reader.ReadDataBytes(Bytes);
  EXPECT_EQ(Bytes, (std::vector<std::uint8_t>{'a', 'b', 0x00, 0xFF, ']', '"', 'c'}));
  Reader.Next(tk::StringStart);  // the quote right after the block
  Reader.NextValueSeparator();
  Reader.Next(tk::Number);
  Reader.Next(tk::ArrayEnd);
}

TEST_F(JsonStreamReaderTest, ReadMethodReturnsTheMethodCodeThenReadParamsOpensTheArray) {
  struct TCase {
    std::string Wire;
    std::int32_t Code;
    std::u16string Name;
  };
  const std::vector<TCase> Cases = {
      {R"({"method":"prepare","params":[)", TDBXStringCodes::Prepare, u"prepare"},
      {"{ \"method\" :\t\"execute\" ,\n\"params\" : [", TDBXStringCodes::Execute, u"execute"},
      {R"({"method":"Foo","params":[)", TDBXStringCodes::Other, u"Foo"},
  };
  for (const auto& Case : Cases) {
    Channel.Feed(Case.Wire);
    EXPECT_EQ(Reader.ReadMethod(), Case.Code);
    EXPECT_EQ(Reader.GetStringValue(), Case.Name);
    EXPECT_EQ(Reader.ReadParams(), tk::ArrayStart);
  }
}

TEST_F(JsonStreamReaderTest, ReadParamsReportsWhatStandsWhereParamsWasExpected) {
  Channel.Feed(R"(,"parxms":[)");
  EXPECT_EQ(Reader.ReadParams(), tk::String);
  EXPECT_EQ(Reader.Next(), tk::NameSeparator);
  EXPECT_EQ(Reader.Next(), tk::ArrayStart);
  Channel.Feed(R"("par":[)");
  EXPECT_EQ(Reader.ReadParams(), tk::String);
  EXPECT_EQ(Reader.Next(), tk::NameSeparator);
  EXPECT_EQ(Reader.Next(), tk::ArrayStart);
  Channel.Feed("\"params\"[");
  EXPECT_EQ(Reader.ReadParams(), tk::ArrayStart);
  Channel.Feed(" }");
  EXPECT_EQ(Reader.ReadParams(), tk::ObjectEnd);
}

TEST_F(JsonStreamReaderTest, ReadMethodTakesInvocationMetadataOnce) {
  const std::string Json = R"({"a":[1,"x"]})";
  Channel.Feed("{\"metadata\" :[" + std::to_string(Json.size()) + "," + Json + "]}");
  EXPECT_EQ(Reader.ReadMethod(), TDBXStringCodes::Metadata);
  const auto Metadata = Reader.TakeInvocationMetadata();
  ASSERT_TRUE(Metadata.has_value());
  EXPECT_EQ(Metadata->dump(), Json);
  EXPECT_FALSE(Reader.TakeInvocationMetadata().has_value());
  Reader.Next(tk::ArrayEnd);  // the position was on the last metadata byte
  Reader.Next(tk::ObjectEnd);

  // Bytes outside 32..126 reach the parser as '#' and their decimal value.
  Channel.Feed("{\"metadata\":[6,\"a\xE9\tb\"]}");
  EXPECT_EQ(Reader.ReadMethod(), TDBXStringCodes::Metadata);
  EXPECT_EQ(Reader.TakeInvocationMetadata()->get<std::string>(), "a#233#9b");
  Reader.SkipToEndOfObject();

  Channel.Feed(R"({"metadata":[0]})");
  EXPECT_EQ(Reader.ReadMethod(), TDBXStringCodes::Metadata);
  EXPECT_FALSE(Reader.TakeInvocationMetadata().has_value());
  Reader.Next(tk::ArrayEnd);
}

TEST_F(JsonStreamReaderTest, ReadMethodRaisesTheExpectedTextErrors) {
  const std::string Max = std::to_string(limits::kMaxDataBlockBytes);
  const std::string Above = std::to_string(limits::kMaxDataBlockBytes + 1);
  struct TCase {
    std::string Wire;
    std::string Message;
    // A refusal of a value whose bytes are still coming, which ends the connection.
    bool MidValue = false;
  };
  const std::vector<TCase> Cases = {
      {"{x", "Expected:  '\"method\" at position:  1\n{x"},
      {"{\"nethod\"", "Expected:  '\"method\" at position:  2\n{\"nethod\""},
      {"{\"mex", "Expected:  '\"method\" at position:  4\n{\"mex"},
      {"{\"metx", "Expected:  '\"method\" at position:  5\n{\"metx"},
      {"{\"methox", "Expected:  '\"method\" at position:  7\n{\"methox"},
      {"{\"metadaxa", "Expected:  '\"metadata\" at position:  8\n{\"metadaxa"},
      {"{\"method\" \"x\"", "Expected:  ': at position:  10\n{\"method\" \"x\""},
      {"{\"method\":x", "Expected:  '\" at position:  10\n{\"method\":x"},
      {"{\"metadata\"x", "Expected:  ': at position:  11\n{\"metadata\"x"},
      {"{\"metadata\": [", "Expected:  '[ at position:  12\n{\"metadata\": ["},
      {"{\"metadata\":[2;{}]}", "Expected:  ', at position:  14\n{\"metadata\":[2;{}]}"},
      {"{\"metadata\":[-1,]}",
       "Negative metadata byte count -1 refused at position:  14\n{\"metadata\":[-1,]}"},
      {"{\"metadata\":[" + Above + ",]}", "Metadata of " + Above + " bytes is above the limit of " + Max + " bytes",
       true},
      {"{\"metadata\":[9,{}]}",
       "Metadata of 9 bytes does not lie within the read buffer of " +
           std::to_string(limits::kDefaultStreamBufferSize) + " bytes",
       true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Wire);
    Channel.Feed(Case.Wire);
    bool MidValue = false;
    const auto Error = ErrorOf([&] {
      try {
        Reader.ReadMethod();
      } catch (const TDBXMidValueRefusal&) {
        MidValue = true;
        throw;
      }
    });
    EXPECT_EQ(Error.ErrorCode(), 2);
    EXPECT_EQ(Error.Message(), Case.Message);
    EXPECT_EQ(MidValue, Case.MidValue);
    EXPECT_FALSE(Reader.HasMoreBytes());
  }
  Channel.Feed(R"({"metadata":[3,{x}]})");
  const auto Invalid = ErrorOf([&] { Reader.ReadMethod(); });
  EXPECT_EQ(Invalid.ErrorCode(), 2);
  EXPECT_EQ(Invalid.Message().rfind("Invalid JSON text", 0), 0u) << Invalid.Message();
}

TEST_F(JsonStreamReaderTest, SkipsToTheEndOfTheEnclosingObjectOrArray) {
  Channel.Feed(R"({"a":[1,{"b":"x}\"{"}],"c":true,"d":null}])");
  Reader.Next(tk::ObjectStart);
  Reader.SkipToEndOfObject();
  EXPECT_EQ(Reader.Next(), tk::ArrayEnd);
  Channel.Feed(R"([["]"],{"k":[]}],9])");
  Reader.Next(tk::ArrayStart);
  Reader.SkipToEndOfArray();
  EXPECT_EQ(Reader.Next(), tk::ValueSeparator);
  EXPECT_TRUE(Reader.HasMoreBytes());
}

TEST_F(JsonStreamReaderTest, ReadsResultsAndRaisesErrorRepliesWithTheirCodeAndMessage) {
  Channel.Feed(R"(  {"result":[42]})");
  EXPECT_EQ(Reader.ReadIntResultObject(), 42);

  // An error reply leaves its outer object open; the next reply follows directly.
  Channel.Feed(R"({"error":{"name":"EX","code":7,"message":"falhou","error":{"x":{"y":1}}}{"result":[1]})");
  const auto Error = ErrorOf([&] { Reader.NextResultObjectStart(); });
  EXPECT_EQ(Error.ErrorCode(), 7);
  EXPECT_EQ(Error.Message(), "falhou");
  EXPECT_EQ(Reader.ReadIntResultObject(), 1);

  Channel.Feed(R"({"error":{}{"error":{"code":-3})");
  const auto Defaults = ErrorOf([&] { Reader.NextResultObjectStart(); });
  EXPECT_EQ(Defaults.ErrorCode(), 2);
  EXPECT_EQ(Defaults.Message(), "unknown error");
  EXPECT_EQ(ErrorOf([&] { Reader.NextResultObjectStart(); }).ErrorCode(), -3);

  Channel.Feed(R"({"resulx")");
  EXPECT_EQ(ErrorOf([&] { Reader.NextResultObjectStart(); }).Message(),
            "Expected:  '\"result\" at position:  7\n{\"resulx\"");
  Channel.Feed(R"({"errox")");
  EXPECT_EQ(ErrorOf([&] { Reader.NextResultObjectStart(); }).Message(),
            "Expected:  '\"error\" at position:  6\n{\"errox\"");
  Channel.Feed(R"(["result")");
  EXPECT_EQ(ErrorOf([&] { Reader.NextResultObjectStart(); }).Message(),
            "Expected:  '{' found:  '[' at position:  0\n[\"result\"");
}

TEST_F(JsonStreamReaderTest, AMoreBlobRequestStandsForAReplyOnlyWhereTheCallerAdmitsIt) {
  Channel.Feed(R"( {"more_blob":[4]}{"result":[5]})");
  EXPECT_EQ(Reader.NextResultOrMoreBlobObjectStart(), TDBXStringCodes::MoreBlob);
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(Reader.ReadInt(), 4);
  Reader.SkipToEndOfObject();
  EXPECT_EQ(Reader.NextResultOrMoreBlobObjectStart(), TDBXStringCodes::Result);
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(Reader.ReadInt(), 5);
  Reader.SkipToEndOfObject();

  Channel.Feed(R"({"more_blob":[4]})");
  EXPECT_EQ(ErrorOf([&] { Reader.NextResultObjectStart(); }).Message(),
            "Expected:  '\"result\" at position:  2\n{\"more_blob\":[4]}");
  Channel.Feed(R"({"more_blox":[4]})");
  EXPECT_EQ(ErrorOf([&] { Reader.NextResultOrMoreBlobObjectStart(); }).Message(),
            "Expected:  '\"more_blob\" at position:  10\n{\"more_blox\":[4]}");
}

TEST_F(JsonStreamReaderTest, NextResultObjectStartPassesOverASignatureBlock) {
  // 0xB7, length 12, version 1, then 12 - 8 bytes of the block.
  Channel.Feed(std::string("\xB7\x00\x00\x00\x0C\x00\x00\x00\x01wxyz{\"result\":[3]}", 27));
  EXPECT_EQ(Reader.ReadIntResultObject(), 3);

  Channel.Feed(std::string("\xB7\x00\x00\x00\x08\x00\x00\x00\x00{\"result\":[3]}", 23));
  const auto Error = ErrorOf([&] { Reader.NextResultObjectStart(); });
  EXPECT_EQ(Error.ErrorCode(), 2);
  EXPECT_EQ(Error.Message(), "Server uses unsupported streaming protocol");

  Channel.Feed(std::string("\xB7\x00\x00\x00\x04\x00\x00\x00\x01{", 10));
  EXPECT_EQ(ErrorOf([&] { Reader.NextResultObjectStart(); }).Message().rfind(
                "Signature block of 4 bytes refused", 0),
            0u);
}

TEST(JsonStreamReader, ContextSeesErrorsFirstAndTracesRefillsWhenAsked) {
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 0);
  std::vector<std::string> Seen;
  Context.SetErrorHook([&](const TDBXError& e) {
    Seen.push_back(std::to_string(e.ErrorCode()) + ":" + e.Message());
  });
  std::vector<std::string> Lines;
  Context.SetTraceSink([&](std::string_view Line) { Lines.emplace_back(Line); });

  Channel.Feed("{");
  Reader.Next();
  EXPECT_TRUE(Lines.empty());  // tracing is off by default

  Context.SetTraceFlags(TDBXContext::kTraceFlagReads);
  Channel.Feed("\x01");
  Reader.Next();
  Context.SetTraceFlags(0);
  Context.SetTraceLevel(TDBXContext::kTraceLevelReads);
  Channel.Feed("}");
  Reader.Next();
  EXPECT_EQ(Lines, (std::vector<std::string>{"read 1 bytes:#1", "read 1 bytes:}"}));

  EXPECT_THROW(Reader.Next(), TDBXError);
  EXPECT_EQ(Seen, (std::vector<std::string>{"1:Read error"}));
}

TEST(JsonStreamReader, MirrorsTheChannelStateAndForgetsInputOnOpen) {
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 0);
  Channel.Feed("{}");
  Reader.Next();
  EXPECT_TRUE(Reader.HasMoreBytes());
  Reader.Open();
  EXPECT_FALSE(Reader.HasMoreBytes());
  EXPECT_FALSE(Reader.ConnectionLost());
  Channel.SetConnectionLost(true);
  EXPECT_TRUE(Reader.ConnectionLost());
}

// --- Round trips: what the writer composes, the reader takes apart -----------------------

class JsonStreamRoundTripTest : public ::testing::Test {
 protected:
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamWriter Writer{Channel, 64};  // small: messages cross buffer ends
  TDBXJSonStreamReader Reader{Channel, Context, 0};

  // Hands what was written to the reader's side.
  void Deliver() {
    Writer.Flush();
    const auto Bytes = Channel.Written();
    Channel.ClearWritten();
    Channel.Feed(Bytes);
  }
  void ExpectRequest(std::int32_t Method) {
    EXPECT_EQ(Reader.ReadMethod(), Method);
    EXPECT_EQ(Reader.ReadParams(), tk::ArrayStart);
  }
  void ExpectClose() {
    Reader.Next(tk::ArrayEnd);
    Reader.Next(tk::ObjectEnd);
  }
  // After a value: the separator, then the next value's first byte follows directly.
  void Sep() { Reader.NextValueSeparator(); }
  // Reads a {"member":[ opening and returns the member's string code.
  std::int32_t MemberStart() {
    Reader.Next(tk::ObjectStart);
    const auto Code = Reader.ReadStringCode();
    Reader.Next(tk::NameSeparator);
    Reader.Next(tk::ArrayStart);
    return Code;
  }
};

TEST_F(JsonStreamRoundTripTest, Requests) {
  const std::u16string Text = u"SELECT \u00e9 \u4e2d \"q\" \\ /";
  Writer.WriteConnectObjectStart();
  Writer.WriteNamedString(u"User", Text);
  Writer.WriteObjectEnd();
  Writer.WriteArrayEnd();
  Writer.WriteObjectEnd();
  Writer.WriteDisconnectObject(-1);
  Writer.WritePrepareStart();
  Writer.WriteInt(3);
  Writer.WriteValueSeparator();
  Writer.WriteBoolean(true);
  Writer.WriteValueSeparator();
  Writer.WriteString(u"T");
  Writer.WriteValueSeparator();
  Writer.WriteString(Text);
  Writer.WriteArrayEnd();
  Writer.WriteObjectEnd();
  Writer.WriteExecuteStart();
  Writer.WriteExecuteFieldsObject(4, u"T", Text);
  Writer.WriteArrayEnd();
  Writer.WriteObjectEnd();
  Writer.WriteCommandCloseObject(INT32_MIN);
  Writer.WriteReaderCloseObject(1, 2);
  Writer.WriteClientNextObject(1, INT64_MIN, 2);
  Writer.WriteClientMoreBlobObject(1, 2, INT64_MAX, 4, false, 6);
  Writer.WriteNextResultObject(8);
  Writer.WriteTxBegin(2);
  Writer.WriteTxEnd(true, 9);
  Writer.WriteVendorProperty(Text);
  Deliver();

  ExpectRequest(TDBXStringCodes::Connect);
  Reader.Next(tk::ObjectStart);
  EXPECT_EQ(Reader.ReadString(), u"User");
  Reader.Next(tk::NameSeparator);
  EXPECT_EQ(Reader.ReadString(), Text);
  Reader.Next(tk::ObjectEnd);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::Disconnect);
  EXPECT_EQ(Reader.ReadInt(), -1);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::Prepare);
  EXPECT_EQ(Reader.ReadInt(), 3);
  Sep();
  EXPECT_TRUE(Reader.ReadBoolean());
  Sep();
  EXPECT_EQ(Reader.ReadString(), u"T");
  Sep();
  EXPECT_EQ(Reader.ReadString(), Text);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::Execute);
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Fields);
  EXPECT_EQ(Reader.ReadInt(), 4);
  Sep();
  EXPECT_FALSE(Reader.ReadBoolean());
  Sep();
  EXPECT_EQ(Reader.ReadString(), u"T");
  Sep();
  EXPECT_EQ(Reader.ReadString(), Text);
  ExpectClose();
  ExpectClose();

  ExpectRequest(TDBXStringCodes::CommandClose);
  EXPECT_EQ(Reader.ReadInt(), INT32_MIN);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::ReaderClose);
  EXPECT_EQ(Reader.ReadInt(), 1);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 2);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::Next);
  EXPECT_EQ(Reader.ReadInt(), 1);
  Sep();
  EXPECT_EQ(Reader.ReadLong(), INT64_MIN);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 2);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::MoreBlob);
  EXPECT_EQ(Reader.ReadInt(), 1);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 2);
  Sep();
  EXPECT_EQ(Reader.ReadLong(), INT64_MAX);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 4);
  Sep();
  EXPECT_FALSE(Reader.ReadBoolean());
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 6);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::NextResult);
  EXPECT_EQ(Reader.ReadInt(), 8);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::TxBegin);
  EXPECT_EQ(Reader.ReadInt(), 2);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::TxEnd);
  EXPECT_TRUE(Reader.ReadBoolean());
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 9);
  ExpectClose();

  ExpectRequest(TDBXStringCodes::VendorProperty);
  EXPECT_EQ(Reader.ReadString(), Text);
  ExpectClose();
  EXPECT_FALSE(Reader.HasMoreBytes());
}

TEST_F(JsonStreamRoundTripTest, ServerToClientMessages) {
  Writer.WriteServerNextObject(5, 6000000000LL, 7);
  Writer.WriteServerMoreBlobObject(1, 2, 3, 4, 5);
  Writer.WriteMetadata(std::vector<std::uint8_t>{'{', '}'});
  Writer.WriteCallback(std::vector<std::uint8_t>{'[', '1', ']'});
  Deliver();

  EXPECT_EQ(MemberStart(), TDBXStringCodes::Next);
  EXPECT_EQ(Reader.ReadInt(), 5);
  Sep();
  EXPECT_EQ(Reader.ReadLong(), 6000000000LL);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 7);
  ExpectClose();

  EXPECT_EQ(MemberStart(), TDBXStringCodes::MoreBlob);
  for (std::int32_t i = 1; i <= 5; ++i) {
    EXPECT_EQ(Reader.ReadLong(), i);
    if (i < 5) Sep();
  }
  ExpectClose();

  EXPECT_EQ(Reader.ReadMethod(), TDBXStringCodes::Metadata);
  EXPECT_EQ(Reader.TakeInvocationMetadata()->dump(), "{}");
  ExpectClose();

  EXPECT_EQ(MemberStart(), TDBXStringCodes::Callback);
  const auto Count = Reader.ReadInt();
  Sep();
  std::vector<std::uint8_t> Json(static_cast<std::size_t>(Count));
  Reader.ReadDataBytes(Json);
  EXPECT_EQ(std::string(Json.begin(), Json.end()), "[1]");
  ExpectClose();
}

TEST_F(JsonStreamRoundTripTest, Replies) {
  std::vector<std::uint8_t> Row(200);
  for (std::size_t i = 0; i < Row.size(); ++i) Row[i] = static_cast<std::uint8_t>(255 - i);

  Writer.WriteResultObject(INT64_MIN);
  Writer.WriteResultVoidObject();
  Writer.WriteRpcError(u"EDBX", 14, u"Valor inv\u00e1lido \u20ac", true);
  Writer.Flush();
  // A prepare reply: handle, then the parameter descriptions.
  Writer.WriteResultObjectStart();
  Writer.WriteHandleObject(3);
  Writer.WriteValueSeparator();
  Writer.WriteParametersObjectStart(2);
  Writer.WriteParameterDescription(26, 0, 1, 5000000000LL, -2, u"Usu\u00e1rio", 0, 32, 8);
  Writer.WriteParameterDescription(6, 1, 4, 10, 0, u"", 0, 4, 0, u"lit");
  Writer.WriteParametersObjectEnd();
  Writer.WriteArrayEnd();
  Writer.WriteObjectEnd();
  // An execute reply: rows, a row buffer, a table and row-stream pieces.
  Writer.WriteResultObjectStart();
  Writer.WriteRowsObject(-1);
  Writer.WriteValueSeparator();
  Writer.WriteDataObject(std::span<const std::uint8_t>(Row));
  Writer.WriteValueSeparator();
  Writer.WriteTableObjectStart(3, false, 4, 1, 1);
  Writer.WriteColumnDescription(u"PRE\u00c7O", 7, 0, 15, 2, 8, 4, 1);
  Writer.WriteTableObjectEnd();
  Writer.WriteValueSeparator();
  Writer.WriteRowStreamDataObject(-2, std::vector<std::uint8_t>{'{', '}'});
  Writer.WriteValueSeparator();
  Writer.WriteRowStreamDataObject(0, {});
  Writer.WriteArrayEnd();
  Writer.WriteObjectEnd();
  Deliver();

  Reader.NextResultObjectStart();
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(Reader.ReadLong(), INT64_MIN);
  ExpectClose();

  Reader.NextResultObjectStart();
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(Reader.ReadInt(), 0);  // the empty array's ']' reads as 0
  ExpectClose();

  const auto Error = [&]() -> TDBXError {
    try {
      Reader.NextResultObjectStart();
    } catch (const TDBXError& e) {
      return e;
    }
    return TDBXError(0, "");
  }();
  EXPECT_EQ(Error.ErrorCode(), 14);
  EXPECT_EQ(Error.Message(), "Valor inv\u00e1lido \u20ac");

  Reader.NextResultObjectStart();
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Handle);
  EXPECT_EQ(Reader.ReadInt(), 3);
  ExpectClose();
  Sep();
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Parameters);
  EXPECT_EQ(Reader.ReadInt(), 2);
  Sep();
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(Reader.ReadInt(), 26);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 0);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 1);
  Sep();
  EXPECT_EQ(Reader.ReadLong(), 5000000000LL);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), -2);
  Sep();
  EXPECT_EQ(Reader.ReadString(), u"Usu\u00e1rio");
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 0);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 32);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 8);
  Reader.Next(tk::ArrayEnd);
  Sep();
  Reader.Next(tk::ArrayStart);
  Reader.SkipToEndOfArray();  // the literal parameter: kept short
  ExpectClose();
  ExpectClose();

  Reader.NextResultObjectStart();
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Rows);
  EXPECT_EQ(Reader.ReadLong(), -1);
  ExpectClose();
  Sep();
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Data);
  const auto Count = Reader.ReadInt();
  Sep();
  std::vector<std::uint8_t> Back(static_cast<std::size_t>(Count));
  Reader.ReadDataBytes(Back);
  EXPECT_EQ(Back, Row);
  ExpectClose();
  Sep();
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Table);
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Fields);
  EXPECT_EQ(Reader.ReadInt(), 3);
  Sep();
  EXPECT_FALSE(Reader.ReadBoolean());
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 4);
  Sep();
  EXPECT_EQ(Reader.ReadInt(), 1);
  Sep();
  EXPECT_TRUE(Reader.ReadBoolean());
  ExpectClose();
  Sep();
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Columns);
  EXPECT_EQ(Reader.ReadInt(), 1);
  Sep();
  Reader.Next(tk::ArrayStart);
  EXPECT_EQ(Reader.ReadString(), u"PRE\u00c7O");
  for (const std::int64_t Expected : {7, 0, 15, 2, 8, 4, 1}) {
    Sep();
    EXPECT_EQ(Reader.ReadLong(), Expected);
  }
  Reader.Next(tk::ArrayEnd);
  ExpectClose();
  ExpectClose();
  Sep();
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Data);
  EXPECT_EQ(Reader.ReadInt(), -2);
  Sep();
  std::vector<std::uint8_t> Two(2);
  Reader.ReadDataBytes(Two);
  EXPECT_EQ(Two, (std::vector<std::uint8_t>{'{', '}'}));
  ExpectClose();
  Sep();
  EXPECT_EQ(MemberStart(), TDBXStringCodes::Data);
  EXPECT_EQ(Reader.ReadInt(), 0);
  ExpectClose();
  ExpectClose();
  EXPECT_FALSE(Reader.HasMoreBytes());
}

TEST_F(JsonStreamRoundTripTest, StreamDataPiecesReassembleTheSource) {
  std::vector<std::uint8_t> Source(150);
  for (std::size_t i = 0; i < Source.size(); ++i) Source[i] = static_cast<std::uint8_t>(i * 7);
  TBytesStream Stream(Source);
  std::vector<std::uint8_t> Back;
  for (bool Last = false; !Last;) {
    Last = Writer.WriteDataObject(Stream);
    Deliver();
    EXPECT_EQ(MemberStart(), TDBXStringCodes::Data);
    const auto Count = Reader.ReadInt();  // the padding blanks end the number
    EXPECT_EQ(Count < 0 || (Count == 0 && Last), Last);
    Reader.NextValueSeparator();
    std::vector<std::uint8_t> Piece(static_cast<std::size_t>(Count < 0 ? -Count : Count));
    Reader.ReadDataBytes(Piece);
    Back.insert(Back.end(), Piece.begin(), Piece.end());
    ExpectClose();
  }
  EXPECT_EQ(Back, Source);
}

}  // namespace
}  // namespace tavrin
