// Hostile and broken input for the stream reader: every fault ends in a TDBXError, no
// client-sent size drives an allocation past its cap, and the reader still serves the
// next request afterwards.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/memory_channel.h"
#include "dbxstream/stream_keywords.h"
#include "dbxstream/stream_tokens.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

namespace tk = TDBXTokens;

// Delivers a prefix, then the same byte for ever: a peer that never stops sending.
class TEndlessChannel : public TDBXMemoryChannel {
 public:
  TEndlessChannel(std::string Prefix, std::uint8_t Filler)
      : FPrefix(std::move(Prefix)), FFiller(Filler) {}
  std::int32_t Read(std::span<std::uint8_t> Buffer) override {
    std::size_t i = 0;
    for (; i < Buffer.size() && FSent < FPrefix.size(); ++i) {
      Buffer[i] = static_cast<std::uint8_t>(FPrefix[FSent++]);
    }
    std::fill(Buffer.begin() + static_cast<std::ptrdiff_t>(i), Buffer.end(), FFiller);
    return static_cast<std::int32_t>(Buffer.size());
  }

 private:
  std::string FPrefix;
  std::size_t FSent = 0;
  std::uint8_t FFiller;
};

// Reads one whole request of any shape, the way a request loop passes over it.
void ReadRequest(TDBXJSonStreamReader& Reader) {
  Reader.ReadMethod();
  if (Reader.ReadParams() == tk::ArrayStart) Reader.SkipToEndOfArray();
  Reader.Next(tk::ObjectEnd);
}

TEST(StreamAbuse, EndlessStringStopsAtTheUnitCap) {
  TEndlessChannel Channel("\"", 'a');
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 0);
  const auto Error = ErrorOf([&] { Reader.ReadString(); });
  EXPECT_EQ(Error.ErrorCode(), 2);
  EXPECT_EQ(Error.Message().rfind("String longer than " +
                                      std::to_string(limits::kMaxStringUnits) +
                                      " code units refused at position:  ",
                                  0),
            0u);
}

TEST(StreamAbuse, EndlessNumberStopsAtTheLengthCap) {
  TEndlessChannel Channel("[", '7');
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 0);
  Reader.Next(tk::ArrayStart);
  const auto Error = ErrorOf([&] { Reader.ReadLong(); });
  EXPECT_EQ(Error.ErrorCode(), 2);
  EXPECT_EQ(Error.Message().rfind("Number longer than " +
                                      std::to_string(limits::kMaxNumberBytes) +
                                      " characters refused at position:  ",
                                  0),
            0u);
}

TEST(StreamAbuse, OversizedSignatureBlockIsRefusedBeforeItIsRead) {
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 0);
  Channel.Feed(std::string("\xB7\x7F\xFF\xFF\xFF\x00\x00\x00\x01", 9));
  const auto Error = ErrorOf([&] { Reader.NextResultObjectStart(); });
  EXPECT_EQ(Error.Message().rfind("Signature block of 2147483647 bytes refused", 0), 0u);
}

TEST(StreamAbuse, EveryTruncationOfARequestIsAReadErrorAndTheNextRequestIsServed) {
  TDBXMemoryChannel Out;
  TDBXJSonStreamWriter Writer(Out, 0);
  Writer.WritePrepareStart();
  Writer.WriteInt(-1);
  Writer.WriteValueSeparator();
  Writer.WriteBoolean(false);
  Writer.WriteValueSeparator();
  Writer.WriteString(u"Tipo \u00e9 \u4e2d");
  Writer.WriteValueSeparator();
  Writer.WriteNull();
  Writer.WriteArrayEnd();
  Writer.WriteObjectEnd();
  Writer.Flush();
  const std::string Request = Out.WrittenText();

  for (std::size_t Length = 1; Length < Request.size(); ++Length) {
    SCOPED_TRACE(Request.substr(0, Length));
    TDBXMemoryChannel Channel(5);  // the peer vanishes after Length bytes
    TDBXContext Context;
    TDBXJSonStreamReader Reader(Channel, Context, 16);
    Channel.Feed(Request.substr(0, Length));
    const auto Error = ErrorOf([&] { ReadRequest(Reader); });
    EXPECT_EQ(Error.ErrorCode(), 1);
    EXPECT_EQ(Error.Message(), "Read error");

    Channel.Feed(Request);
    Reader.Open();  // a new client on a reused reader
    EXPECT_NO_THROW(ReadRequest(Reader));
    EXPECT_EQ(Reader.GetStringCode(), TDBXStringCodes::Prepare);
  }
}

TEST(StreamAbuse, PeerVanishingInsideADataBlockIsAReadError) {
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 0);
  Channel.Feed(R"({"data":[100,0123456789)");
  Reader.Next(tk::ObjectStart);
  EXPECT_EQ(Reader.ReadStringCode(), TDBXStringCodes::Data);
  Reader.Next(tk::NameSeparator);
  Reader.Next(tk::ArrayStart);
  std::vector<std::uint8_t> Block(static_cast<std::size_t>(Reader.ReadInt()));
  Reader.NextValueSeparator();
  EXPECT_EQ(ErrorOf([&] { Reader.ReadDataBytes(Block); }).ErrorCode(), 1);
}

TEST(StreamAbuse, DeepNestingIsSkippedWithoutRecursion) {
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader(Channel, Context, 0);
  constexpr std::size_t kDepth = 1'000'000;
  Channel.Feed(std::string(kDepth, '[') + std::string(kDepth, ']') + "],");
  Reader.SkipToEndOfArray();
  EXPECT_EQ(Reader.Next(), tk::ValueSeparator);
}

// Random bytes, random operations: only TDBXError may come out, and afterwards the
// reader reads a well-formed request.
TEST(StreamAbuse, GarbageRaisesOnlyTDBXErrorAndLeavesTheReaderUsable) {
  std::mt19937 Random(20240611);
  const std::string Alphabet = "{}[]\",: \t-+.0123456789eEtrufalsnmhodpi\\u\xB7\xE9\x01";
  std::uniform_int_distribution<std::size_t> Pick(0, Alphabet.size() - 1);
  std::uniform_int_distribution<int> Length(1, 60);
  std::uniform_int_distribution<int> Op(0, 9);
  const std::string Valid = R"({"method":"execute","params":[{"handle":[1]}]})";

  for (int Round = 0; Round < 2000; ++Round) {
    TDBXMemoryChannel Channel(7);
    TDBXContext Context;
    TDBXJSonStreamReader Reader(Channel, Context, 32);
    std::string Garbage;
    for (int i = Length(Random); i > 0; --i) Garbage += Alphabet[Pick(Random)];
    Channel.Feed(Garbage);
    try {
      for (int Step = 0; Step < 1000; ++Step) {
        std::vector<std::uint8_t> Block(3);
        switch (Op(Random)) {
          case 0: Reader.Next(); break;
          case 1: Reader.ReadMethod(); break;
          case 2: Reader.ReadParams(); break;
          case 3: Reader.ReadString(); break;
          case 4: Reader.ReadLong(); break;
          case 5: Reader.SkipToEndOfObject(); break;
          case 6: Reader.SkipToEndOfArray(); break;
          case 7: Reader.NextResultObjectStart(); break;
          case 8: Reader.ReadDataBytes(Block); break;
          default: Reader.ReadStringCode(); break;
        }
      }
      ADD_FAILURE() << "1000 operations on " << Garbage.size() << " bytes without an error";
    } catch (const TDBXError&) {
      // Expected: any code, since garbage may spell an error reply with its own code.
      // Anything but TDBXError leaves the test and fails it.
    }
    // The next client on the same reader: its channel starts clean.
    Channel = TDBXMemoryChannel(7);
    Reader.Open();
    Channel.Feed(Valid);
    ReadRequest(Reader);
    EXPECT_EQ(Reader.GetStringCode(), TDBXStringCodes::Execute) << Garbage;
  }
}

}  // namespace
}  // namespace tavrin
