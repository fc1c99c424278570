#include "dbxstream/row_blob_stream_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "dbxstream/context.h"
#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/memory_channel.h"
#include "dbxstream/row_buffer.h"
#include "vocabulary/dbx_error.h"
#include "row_hex_bytes.h"

namespace tavrin {
namespace {

using testing::Hex;

// One side of a connection over memory, with a row buffer wired to its codecs.
struct TBlobFixture {
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader{Channel, Context, 64};
  TDBXJSonStreamWriter Writer{Channel, 256};
  TDBXRowBuffer Buffer;

  TBlobFixture(const std::string& RowHex, bool Client, std::int32_t CommandHandle) {
    Buffer.SetStreams(&Reader, &Writer);
    Buffer.SetClient(Client);
    Buffer.SetParameterBuffer(Client);
    Buffer.SetCommandHandle(CommandHandle);
    const auto Bytes = Hex(RowHex);
    Buffer.MinBufferSize(static_cast<std::int32_t>(Bytes.size()));
    std::memcpy(Buffer.MutableBuffer().data(), Bytes.data(), Bytes.size());
    Buffer.ReadSize(static_cast<std::int32_t>(Bytes.size()));
  }
};

// A stream data object as a peer writes it: the count padded with blanks to 9 places.
std::string DataObject(std::int32_t Count, const std::string& Bytes) {
  std::string Number = std::to_string(Count);
  Number.resize(9, ' ');
  return "{\"data\":[" + Number + "," + Bytes + "]}";
}

std::string Read(TStream& Stream, std::size_t Count) {
  std::string Out(Count, '\0');
  const auto n = Stream.Read({reinterpret_cast<std::uint8_t*>(Out.data()), Count});
  Out.resize(static_cast<std::size_t>(n));
  return Out;
}

TEST(RowBlobServerSide, FetchesTheRestOfLongValuesFromTheClient) {
  // A wide string with three bytes inline, an integer, then bytes announced by a
  // 0x0C blob header whose tag (61 05) is skipped.
  TBlobFixture f("50 00 03 41 FF 01  61 07  0C 00 00 00 03 61 05", false, 7);
  // The pieces cut the wide text inside a code unit: 41 FF 01 | 00 01 | 02.
  f.Channel.Feed(DataObject(2, std::string("\x00\x01", 2)));
  f.Channel.Feed(DataObject(-1, "\x02"));
  f.Channel.Feed(DataObject(-3, "xyz"));

  EXPECT_EQ(f.Buffer.ReadString(), u"A\u0100\u0102");
  EXPECT_EQ(f.Buffer.ReadInt32(), 7);
  const auto Bytes = f.Buffer.ReadBytes();
  EXPECT_EQ(std::string(Bytes.begin(), Bytes.end()), "xyz");
  EXPECT_EQ(f.Buffer.Offset(), f.Buffer.ReadSizeBytes());

  // command handle, blob handle, row, ordinal, row handle; each request flushed.
  EXPECT_EQ(f.Channel.WrittenText(),
            "{\"more_blob\":[7,1,0,0,-1]}"
            "{\"more_blob\":[7,1,0,0,-1]}"
            "{\"more_blob\":[7,2,0,2,-1]}");
  EXPECT_EQ(f.Channel.WriteCalls(), 3);
  EXPECT_EQ(f.Channel.PendingBytes(), 0u);
}

TEST(RowBlobClientSide, AsksTheServerAndReadsTheResult) {
  TBlobFixture f("08 00 00 00 05", true, 3);
  auto Blob = f.Buffer.ReadBlobStreamReader(9);
  EXPECT_EQ(Blob->Size(), 5);
  f.Channel.Feed("{\"result\":[" + DataObject(-5, "hello") + "]}{\"result\":[]}");

  EXPECT_EQ(Read(*Blob, 3), "hel");  // the rest of the piece is held
  EXPECT_EQ(f.Channel.WrittenText(), "{\"method\":\"more_blob\",\"params\":[3,1,0,0,true,9]}");
  EXPECT_FALSE(Blob->Eos());
  EXPECT_EQ(Read(*Blob, 10), "lo");
  EXPECT_TRUE(Blob->Eos());
  EXPECT_EQ(Read(*Blob, 10), "");
  EXPECT_EQ(f.Channel.WriteCalls(), 1);
  // The result's end was consumed: the next reply starts cleanly.
  EXPECT_EQ(f.Reader.Next(), TDBXTokens::ObjectStart);
}

TEST(RowBlobClientSide, EndOfStreamOnlyAfterAReadFoundNothingMore) {
  TBlobFixture f("50 00 02 61 62", true, 3);
  auto Blob = f.Buffer.ReadBlobStreamReader(-1);
  EXPECT_EQ(Blob->Size(), -1);
  f.Channel.Feed("{\"result\":[" + DataObject(5, "cdefg") + "]}");
  f.Channel.Feed("{\"result\":[" + DataObject(0, "") + "]}");

  EXPECT_EQ(Read(*Blob, 4), "abcd");  // inline bytes, then part of the first piece
  EXPECT_EQ(Read(*Blob, 4), "efg");   // held bytes; the empty last piece is fetched
  EXPECT_FALSE(Blob->Eos());
  EXPECT_EQ(Read(*Blob, 4), "");
  EXPECT_TRUE(Blob->Eos());
  EXPECT_EQ(f.Channel.WriteCalls(), 2);
}

TEST(RowBlobClientSide, CommandClosedOrExecutedAgain) {
  for (bool ExecutedAgain : {false, true}) {
    TBlobFixture f("50 00 02 61 62", true, 3);
    auto Blob = f.Buffer.ReadBlobStreamReader(-1);
    if (ExecutedAgain) {
      f.Buffer.SetCommandHandle(4);
    } else {
      f.Buffer.CloseCommandHandle();
    }
    try {
      Read(*Blob, 1);
      ADD_FAILURE() << "no error";
    } catch (const TDBXError& e) {
      EXPECT_EQ(e.ErrorCode(), 4);
      EXPECT_STREQ(e.what(), "Command closed or executed again");
    }
    EXPECT_TRUE(f.Channel.Written().empty());
  }
  // The server side has no such check: its handle is the client's business.
  TBlobFixture f("50 00 02 61 62", false, -1);
  auto Blob = f.Buffer.ReadBlobStreamReader(-1);
  EXPECT_EQ(Read(*Blob, 2), "ab");
}

TEST(RowBlobClientSide, ErrorReplyIsRaised) {
  TBlobFixture f("50 00 02 61 62", true, 3);
  f.Channel.Feed(R"({"error":{"name":"x","code":7,"message":"boom"})");
  try {
    f.Buffer.ReadString();
    ADD_FAILURE() << "no error";
  } catch (const TDBXError& e) {
    EXPECT_EQ(e.ErrorCode(), 7);
    EXPECT_STREQ(e.what(), "boom");
  }
}

}  // namespace
}  // namespace tavrin
