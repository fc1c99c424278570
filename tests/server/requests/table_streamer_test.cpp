// Result tables over the wire: the table object, row blocks of about one row buffer,
// next requests, the long values of a block, and tables a client sends as parameters.

#include "server/requests/table_streamer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dbxstream/row_hex_bytes.h"
#include "server/requests/server_chain_fixture.h"

namespace tavrin {
namespace {

using testing::Hex;
using testing::kConnect;
using testing::kExecuteHandle0;
using testing::kNextResult;
using testing::kNextResultReply;
using testing::TExecuteMode;
using testing::TFakeReader;
using testing::TServerChain;

constexpr char kTableReply[] =
    R"({"result":[{"table":[{"fields":[0,false,1,0,true]},{"columns":[2,)"
    R"(["ID",6,0,0,0,0,0,0],["NOME",26,0,0,0,0,0,0]]}]}]})";
constexpr char kDataStart[] = R"({"data":[)";

std::string AsText(const std::vector<std::uint8_t>& Raw) { return {Raw.begin(), Raw.end()}; }

std::string NextRequest(int RowHandle) {
  return R"({"method":"next","params":[)" + std::to_string(RowHandle) + ",0,0]}";
}

struct TBlock {
  std::int32_t Count = 0;
  std::string Bytes;
};

// Parses the row-stream data object that makes up the whole of Text.
TBlock ParseBlock(const std::string& Text) {
  TBlock Block;
  EXPECT_TRUE(Text.starts_with(kDataStart)) << Text.substr(0, 40);
  std::size_t Pos = std::strlen(kDataStart);
  const std::size_t Stop = Text.find_first_of(",]", Pos);
  Block.Count = std::stoi(Text.substr(Pos, Stop - Pos));
  if (Block.Count == 0) {
    EXPECT_EQ(Text.substr(Stop), "]}");
    return Block;
  }
  const auto Size = static_cast<std::size_t>(std::abs(Block.Count));
  Block.Bytes = Text.substr(Stop + 1, Size);
  EXPECT_EQ(Text.substr(Stop + 1 + Size), "]}");
  return Block;
}

// Decodes the (ID, NOME) rows of a block as a client does.
std::vector<std::pair<std::int32_t, std::u16string>> DecodeRows(const std::string& Block) {
  std::vector<std::pair<std::int32_t, std::u16string>> Rows;
  if (Block.empty()) return Rows;
  TDBXRowBuffer Buffer;
  const auto Size = static_cast<std::int32_t>(Block.size());
  Buffer.MinBufferSize(Size);
  std::memcpy(Buffer.MutableBuffer().data(), Block.data(), Block.size());
  Buffer.ReadSize(Size);
  Buffer.SetColumnCount(2);
  do {
    const std::int32_t Id = Buffer.ReadInt32();
    Rows.emplace_back(Id, Buffer.ReadString());
  } while (Buffer.NextRow());
  return Rows;
}

struct TTableChain : TServerChain {
  std::shared_ptr<TFakeReader> Reader;
  explicit TTableChain(std::shared_ptr<TFakeReader> Table) : Reader(std::move(Table)) {
    Serve(kConnect);
    Server->Mode = TExecuteMode::ReturnTable;
    Server->Table = Reader;
  }
};

TEST(ResultTableBlocks, ALargeTableComesInBlocksFetchedWithNextTheLastNegative) {
  constexpr int kRows = 200;
  constexpr std::size_t kNameLength = 1000;  // 16-bit length form, always inline
  TTableChain c(std::make_shared<TFakeReader>(kRows, kNameLength));

  const std::string First = c.Serve(kExecuteHandle0);
  ASSERT_TRUE(First.starts_with(kTableReply));
  std::vector<TBlock> Blocks{ParseBlock(First.substr(std::strlen(kTableReply)))};
  // Rows are read only as far as the block needs.
  EXPECT_EQ(c.Reader->NextCalls, static_cast<int>(DecodeRows(Blocks[0].Bytes).size()));
  while (Blocks.back().Count > 0 && Blocks.size() < 50) {
    Blocks.push_back(ParseBlock(c.Serve(NextRequest(1))));
  }
  ASSERT_GT(Blocks.size(), 2u);
  std::vector<std::pair<std::int32_t, std::u16string>> Rows;
  for (const auto& Block : Blocks) {
    // Whole rows up to the fill limit, the last one allowed past it.
    EXPECT_LT(Block.Bytes.size(), 30720u + kNameLength + 8);
    for (auto& Row : DecodeRows(Block.Bytes)) Rows.push_back(std::move(Row));
  }
  ASSERT_EQ(Rows.size(), static_cast<std::size_t>(kRows));
  for (int i = 0; i < kRows; ++i) {
    EXPECT_EQ(Rows[static_cast<std::size_t>(i)].first, i + 1);
    EXPECT_EQ(Rows[static_cast<std::size_t>(i)].second, TFakeReader::NameOf(i + 1, kNameLength));
  }

  // After the last block the reader is not touched again.
  const int Calls = c.Reader->NextCalls;
  EXPECT_EQ(c.Serve(NextRequest(1)),
            R"({"error":{"name":"TDBXError","code":29,"message":"Remote error: No further rows for row handle 1"})");
  EXPECT_EQ(c.Reader->NextCalls, Calls);
  EXPECT_EQ(c.Serve(kNextResult), kNextResultReply);
}

TEST(ResultTableBlocks, SmallAndEmptyTablesComeInOneLastBlock) {
  TTableChain Small(std::make_shared<TFakeReader>(3, 1));
  EXPECT_EQ(Small.Serve(kExecuteHandle0),
            kTableReply + std::string(kDataStart) + "-12," +
                AsText(Hex("61 01 21 62  61 02 21 63  61 03 21 64")) + "]}");

  TTableChain Empty(std::make_shared<TFakeReader>(0, 1));
  const std::string EmptyReply = kTableReply + std::string(R"({"data":[0]})");
  EXPECT_EQ(Empty.Serve(kExecuteHandle0), EmptyReply);
  // Executed again, the command's tables close and row handles start again at 1.
  auto Second = std::make_shared<TFakeReader>(0, 1);
  Empty.Server->Table = Second;
  EXPECT_EQ(Empty.Serve(kExecuteHandle0), EmptyReply);
  EXPECT_EQ(Empty.Reader->Closes, 1);
  EXPECT_EQ(Second->Closes, 0);
}

TEST(ResultTableBlocks, AColumnThatCannotBeReadTurnsTheReplyIntoAnErrorWithCode30) {
  const std::string Error =
      R"({"error":{"name":"TDBXError","code":30,"message":"Remote error: cannot read column"})";
  TTableChain InFirst(std::make_shared<TFakeReader>(5, 1, 2));
  EXPECT_EQ(InFirst.Serve(kExecuteHandle0), Error);
  EXPECT_EQ(InFirst.Serve(kNextResult), kNextResultReply);

  TTableChain InLater(std::make_shared<TFakeReader>(100, 1000, 60));
  ASSERT_TRUE(InLater.Serve(kExecuteHandle0).starts_with(kTableReply));
  std::string Reply;
  for (int i = 0; i < 5 && !Reply.starts_with("{\"error\""); ++i) Reply = InLater.Serve(NextRequest(1));
  EXPECT_EQ(Reply, Error);
}

TEST(ResultTableHandles, RequestsNamingNoOpenTableGetAnErrorReply) {
  TTableChain c(std::make_shared<TFakeReader>(100, 1000));
  const auto ErrorFor = [](int Handle) {
    return R"({"error":{"name":"TDBXError","code":29,"message":"Remote error: No open table for row handle )" +
           std::to_string(Handle) + "\"}";
  };
  EXPECT_EQ(c.Serve(NextRequest(1)), ErrorFor(1));  // nothing executed yet
  c.Serve(kExecuteHandle0);
  EXPECT_EQ(c.Serve(NextRequest(9)), ErrorFor(9));
  EXPECT_EQ(c.Serve(R"({"method":"reader_close","params":[9,0]})"), ErrorFor(9));
  EXPECT_EQ(c.Serve(R"({"method":"more_blob","params":[0,1,0,1,false,9]})"), ErrorFor(9));

  // A client's reader close frees the table without a reply.
  EXPECT_EQ(c.Serve(R"({"method":"reader_close","params":[1,0]})"), "");
  EXPECT_EQ(c.Reader->Closes, 1);
  const int Calls = c.Reader->NextCalls;
  EXPECT_EQ(c.Serve(NextRequest(1)), ErrorFor(1));
  EXPECT_EQ(c.Reader->NextCalls, Calls);
}

TEST(ResultTableLongValues, TheRestOfAValueThatDidNotFitComesByMoreBlob) {
  constexpr std::size_t kNameLength = 40000;
  TTableChain c(std::make_shared<TFakeReader>(1, kNameLength));
  const std::string Reply = c.Serve(kExecuteHandle0);
  ASSERT_TRUE(Reply.starts_with(kTableReply));
  const TBlock Block = ParseBlock(Reply.substr(std::strlen(kTableReply)));
  // The row filled the block: the count stays positive and a next ends the table.
  ASSERT_GT(Block.Count, 0);
  // ID, then the name with header 0x50: the inline part, more to fetch.
  ASSERT_GT(Block.Bytes.size(), 5u);
  EXPECT_EQ(AsText(Hex("61 01 50")), Block.Bytes.substr(0, 3));
  std::string Name = Block.Bytes.substr(5);

  const std::string MoreBlob = R"({"method":"more_blob","params":[0,1,0,1,false,1]})";
  const std::string Piece = c.Serve(MoreBlob);
  ASSERT_TRUE(Piece.starts_with(R"({"result":[{"data":[-)")) << Piece.substr(0, 40);
  const std::size_t Comma = Piece.find(',');
  Name += Piece.substr(Comma + 1, Piece.size() - Comma - 1 - std::strlen("]}]}"));
  EXPECT_EQ(Name, std::string(kNameLength, 'b'));
  // Once served whole, the value is gone.
  EXPECT_TRUE(c.Serve(MoreBlob).starts_with(R"({"error":{"name":"TDBXError","code":29,)"));
  EXPECT_EQ(c.Serve(NextRequest(1)), R"({"data":[0]})");
}

TEST(ResultTableReceived, ATableSentAsParameterIsReadBlockByBlockAndClosed) {
  TServerChain c;
  c.Serve(kConnect);
  c.Server->Mode = TExecuteMode::ConsumeTables;
  c.Channel.ClearWritten();
  const std::string Request =
      R"({"method":"execute","params":[{"handle":[0]},{"table":[{"fields":[0,false,5,0,true]},)"
      R"({"columns":[2,["ID",6,0,0,0,0,1,1],["NOME",26,0,0,0,0,1,1]]}]}{"data":[6,)" +
      AsText(Hex("61 01 23 61 6E 61")) + "]}]}";
  c.Channel.Feed(Request);
  c.Channel.Feed(R"({"data":[-5,)" + AsText(Hex("61 02 22 62 6F")) + "]}");
  EXPECT_TRUE(c.Handler->HandleNonBlockingProtocol());
  EXPECT_EQ(c.Server->ReceivedRows,
            (std::vector<std::pair<std::int32_t, std::u16string>>{{1, u"ana"}, {2, u"bo"}}));
  EXPECT_EQ(c.Channel.WrittenText(),
            R"({"next":[5,1,0]})"
            R"({"method":"reader_close","params":[5,0]})"
            R"({"result":[]})");
}

}  // namespace
}  // namespace tavrin
