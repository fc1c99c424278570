// The client connection against the real request loop of a server chain, in-process:
// every flush of the client is served by the chain at once, and the chain's replies
// wait for the client's reads. The bytes the client sends are compared with the
// request shapes the server reads.

#include "client/connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dbxstream/row_hex_bytes.h"
#include "server/requests/server_chain_fixture.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

using testing::Hex;
using testing::TExecuteMode;
using testing::TFakeReader;

std::string Bytes(const std::vector<std::uint8_t>& Raw) { return {Raw.begin(), Raw.end()}; }

std::size_t Occurrences(const std::string& Text, const std::string& Part) {
  std::size_t Count = 0;
  for (auto At = Text.find(Part); At != std::string::npos; At = Text.find(Part, At + 1)) ++Count;
  return Count;
}

// The client's end of a connection whose server side is a handler chain on the same
// thread. Each Write must carry whole requests, as the client's flushes do for
// requests smaller than its write buffer.
class TLoopChannel : public TDbxChannel {
 public:
  TLoopChannel(TDBXMemoryChannel& ServerChannel, TDBXJSonServerProtocolHandler& Handler)
      : FServerChannel(ServerChannel), FHandler(Handler) {}

  std::int32_t Read(std::span<std::uint8_t> Buffer) override {
    const std::size_t n = std::min(Buffer.size(), FToClient.size() - FReadPosition);
    std::copy_n(FToClient.begin() + static_cast<std::ptrdiff_t>(FReadPosition), n, Buffer.begin());
    FReadPosition += n;
    return static_cast<std::int32_t>(n);
  }

  void Write(std::span<const std::uint8_t> Bytes) override {
    Sent.append(Bytes.begin(), Bytes.end());
    if (!FServing) return;  // request handling ended: nobody reads any more
    FServerChannel.Feed(Bytes);
    while (FServing && FServerChannel.PendingBytes() > 0) {
      FServing = FHandler.HandleNonBlockingProtocol();
    }
    const auto& Reply = FServerChannel.Written();
    FToClient.insert(FToClient.end(), Reply.begin(), Reply.end());
    FServerChannel.ClearWritten();
  }

  bool ConnectionLost() const override { return false; }
  const TDBXChannelInfo& ChannelInfo() const override { return FInfo; }

  // Reply bytes the client has not read: 0 whenever the client is in step.
  std::size_t UnreadBytes() const { return FToClient.size() - FReadPosition; }
  bool Serving() const { return FServing; }

  std::string Sent;  // every byte the client wrote

 private:
  TDBXMemoryChannel& FServerChannel;
  TDBXJSonServerProtocolHandler& FHandler;
  std::vector<std::uint8_t> FToClient;
  std::size_t FReadPosition = 0;
  bool FServing = true;
  TDBXChannelInfo FInfo;
};

// The fake server of the chain fixture, with a method that returns a long wide string
// (its rest served by more-blob from the parameter row's overflow), a rows count, a
// parameter type change on demand, and a record of closes.
class TClientTestServer : public testing::TFakeServer {
 public:
  using TFakeServer::TFakeServer;

  void DbxExecute(TDBXExecuteMessage& Message) override {
    Message.FRowsAffected = RowsAffected;
    Message.FParameterTypeChanged = TypeChanged;
    if (!LongOut) {
      TFakeServer::DbxExecute(Message);
      return;
    }
    Calls.push_back("execute");
    Message.FCommandHandle = 0;
    TDBXRowBuffer& Row = *ConnectionRow;
    Row.Post();
    Row.WriteNull();
    Row.WriteString(*LongOut);
    LongOutRest = Row.TakeOverflowStream();
    Message.FParameters = &LoginParameters;
    Message.FHasOutOrReturnParameters = true;
    TDBXConnectionHandler::DbxExecute(Message);
  }
  void DbxMoreBlob(TDBXMoreBlobMessage& Message) override {
    if (Message.FOutParameter && LongOutRest) {
      Message.FStreamReader = LongOutRest.get();
      TDBXConnectionHandler::DbxMoreBlob(Message);
      return;
    }
    TFakeServer::DbxMoreBlob(Message);
  }
  void DbxCommandClose(TDBXCommandCloseMessage& Message) override {
    Calls.push_back("command_close " + std::to_string(Message.FCommandHandle));
    TFakeServer::DbxCommandClose(Message);
  }
  void DbxReaderClose(TDBXReaderCloseMessage& Message) override {
    Calls.push_back("reader_close " + std::to_string(Message.FReaderHandle));
    TFakeServer::DbxReaderClose(Message);
  }

  std::int64_t RowsAffected = -1;
  bool TypeChanged = false;
  std::optional<std::u16string> LongOut;
  std::unique_ptr<TStream> LongOutRest;
};

// A client connection over a loop channel into a server chain built as the transport
// builds it.
struct TClientOverChain {
  TDBXMemoryChannel ServerChannel;
  TDBXContext ServerContext;
  TClientTestServer* Server = nullptr;
  std::unique_ptr<TDBXJSonServerProtocolHandler> Handler;
  std::unique_ptr<TDBXJSonRow> ServerRow;
  std::unique_ptr<TLoopChannel> Loop;
  std::unique_ptr<TDBXClientConnection> Client;

  TClientOverChain() {
    Handler = BuildServerHandlerChain(
        ServerChannel, ServerContext, defaults::kBufferKBSize,
        [this](TDBXContext& Ctx, TDbxChannel&, std::unique_ptr<TDBXConnectionHandler> Output) {
          auto Made = std::make_unique<TClientTestServer>(Ctx, std::move(Output));
          Server = Made.get();
          return Made;
        },
        nullptr);
    ServerRow = Server->NextConnectionHandler()->CreateDbxRow();
    Server->ConnectionRow = &ServerRow->RowBuffer();
    Server->LoginParameters.push_back(testing::MakeParameter("Usuario", 26, 1));
    Server->LoginParameters.push_back(testing::MakeParameter("Senha", 26, 1));
    Server->LoginParameters.push_back(testing::MakeParameter("ReturnParameter", 6, 4));
    Loop = std::make_unique<TLoopChannel>(ServerChannel, *Handler);
    Client = std::make_unique<TDBXClientConnection>(*Loop);
  }

  // Connected, with the login method prepared as command 0; Sent cleared.
  void ConnectAndPrepareLogin() {
    Client->Connect({});
    Client->Prepare(u"Corvane.ServerMethod", u"TvxServerMethods8765.FazerLogin");
    Loop->Sent.clear();
  }

  TDBXExecuteReply ExecuteLogin() {
    Server->Mode = TExecuteMode::Login;
    TDBXRowBuffer& Row = Client->BeginParameters();
    Row.WriteString(u"ana");
    Row.WriteString(u"xyz");
    Row.WriteNull();
    return Client->Execute(0);
  }
};

TEST(DbxClientConnect, SendsThePropertiesAndReadsHandleProductAndVersion) {
  TClientOverChain c;
  const TDBXProperties Properties{{u"HostName", u"loja"}, {u"user", u"ana"}};
  const TDBXConnectReply Reply = c.Client->Connect(Properties);
  EXPECT_EQ(c.Loop->Sent, R"({"method":"connect","params":[{"HostName":"loja","user":"ana"}]})");
  EXPECT_EQ(c.Server->Properties, Properties);
  EXPECT_EQ(Reply.ConnectionHandle, 0);
  EXPECT_EQ(Reply.ProductName, u"Corvane");
  EXPECT_EQ(Reply.ProtocolVersion, 2);
  EXPECT_EQ(c.Loop->UnreadBytes(), 0u);
}

// The worked login example: two strings in, an int32 result of 3.
TEST(DbxClientLogin, PrepareAndExecuteSendTheExampleBytesAndReadTheResult) {
  TClientOverChain c;
  c.Client->Connect({});
  c.Loop->Sent.clear();
  const TDBXPrepareReply Prepared =
      c.Client->Prepare(u"Corvane.ServerMethod", u"TvxServerMethods8765.FazerLogin");
  EXPECT_EQ(c.Loop->Sent,
            R"({"method":"prepare","params":[-1,false,"Corvane.ServerMethod",)"
            R"("TvxServerMethods8765.FazerLogin"]})");
  EXPECT_EQ(Prepared.CommandHandle, 0);
  struct TExpected {
    const char* Name;
    std::int32_t Type;
    std::int32_t Direction;
  };
  const TExpected Expected[] = {{"Usuario", 26, 1}, {"Senha", 26, 1}, {"ReturnParameter", 6, 4}};
  ASSERT_EQ(Prepared.Parameters.size(), std::size(Expected));
  for (std::size_t i = 0; i < std::size(Expected); ++i) {
    SCOPED_TRACE(Expected[i].Name);
    EXPECT_EQ(Prepared.Parameters[i].Name(), Expected[i].Name);
    EXPECT_EQ(Prepared.Parameters[i].DataType(), Expected[i].Type);
    EXPECT_EQ(Prepared.Parameters[i].ParameterDirection(), Expected[i].Direction);
    EXPECT_EQ(Prepared.Parameters[i].Ordinal(), static_cast<std::int32_t>(i));
  }

  c.Loop->Sent.clear();
  const TDBXExecuteReply Reply = c.ExecuteLogin();
  const std::string Row = Bytes(Hex("23 61 6E 61 23 78 79 7A C0"));
  EXPECT_EQ(c.Loop->Sent, R"({"method":"execute","params":[{"handle":[0]},{"data":[9,)" + Row + "]}]}");
  EXPECT_EQ(Bytes(c.Server->RequestRow), Row);

  EXPECT_EQ(Reply.RowsAffected, -1);
  EXPECT_FALSE(Reply.Parameters.has_value());
  EXPECT_TRUE(Reply.Tables.empty());
  ASSERT_TRUE(Reply.HasParameterRow);
  TDBXRowBuffer& Out = c.Client->ParameterRow();
  EXPECT_TRUE(Out.Null());
  Out.GoToField(2);
  EXPECT_EQ(Out.ReadInt32(), 3);
  EXPECT_EQ(c.Loop->UnreadBytes(), 0u);

  // An execute without new parameter values sends none.
  c.Loop->Sent.clear();
  c.Server->Mode = TExecuteMode::Void;
  EXPECT_FALSE(c.Client->Execute(0).HasParameterRow);
  EXPECT_EQ(c.Loop->Sent, R"({"method":"execute","params":[{"handle":[0]}]})");
}

TEST(DbxClientExecute, ReadsTheRowsCountAndRedescribedParametersBeforeTheRow) {
  struct TCase {
    std::int64_t RowsAffected;
    bool TypeChanged;
  };
  for (const TCase Case : {TCase{-1, true}, TCase{0, false}, TCase{5, true}}) {
    SCOPED_TRACE(::testing::Message() << Case.RowsAffected << " " << Case.TypeChanged);
    TClientOverChain c;
    c.ConnectAndPrepareLogin();
    c.Server->RowsAffected = Case.RowsAffected;
    c.Server->TypeChanged = Case.TypeChanged;
    const TDBXExecuteReply Reply = c.ExecuteLogin();
    EXPECT_EQ(Reply.RowsAffected, Case.RowsAffected);
    ASSERT_EQ(Reply.Parameters.has_value(), Case.TypeChanged);
    if (Case.TypeChanged) {
      ASSERT_EQ(Reply.Parameters->size(), 3u);
      EXPECT_EQ((*Reply.Parameters)[2].Name(), "ReturnParameter");
    }
    ASSERT_TRUE(Reply.HasParameterRow);
    c.Client->ParameterRow().GoToField(2);
    EXPECT_EQ(c.Client->ParameterRow().ReadInt32(), 3);
    EXPECT_EQ(c.Loop->UnreadBytes(), 0u);
  }
}

TEST(DbxClientErrors, AnErrorReplyIsRaisedWithTheServersCodeAndTheNextRequestIsServed) {
  struct TCase {
    std::function<void()> Raise;
    std::int32_t Code;
    std::string Message;
  };
  const TCase Cases[] = {
      {[] { throw std::runtime_error("boom"); }, 5, "Remote error: boom"},
      {[] { throw TDBXError(113, "ana is not authorized"); }, 113,
       "Remote error: ana is not authorized"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Message);
    TClientOverChain c;
    c.ConnectAndPrepareLogin();
    c.Server->Mode = TExecuteMode::Raise;
    c.Server->Raise = Case.Raise;
    const TDBXError Error = ErrorOf([&] { c.Client->Execute(0); });
    EXPECT_EQ(Error.ErrorCode(), Case.Code);
    EXPECT_EQ(Error.Message(), Case.Message);
    // The error reply has no outer closing brace: nothing of it may be left unread.
    EXPECT_EQ(c.Loop->UnreadBytes(), 0u);

    const TDBXNextResultReply Next = c.Client->NextResult(0);
    EXPECT_FALSE(Next.HasNextResult);
    EXPECT_EQ(Next.CommandHandle, -1);
    EXPECT_EQ(c.ExecuteLogin().HasParameterRow, true);
    EXPECT_EQ(c.Loop->UnreadBytes(), 0u);
  }
}

// Rows of about 105 bytes in blocks of about 30 KB: 1000 rows take four blocks.
constexpr int kManyRows = 1000;
constexpr std::size_t kNameLength = 100;

TEST(DbxClientTables, ATableLargerThanOneBlockIsReadWithNextRequests) {
  TClientOverChain c;
  c.ConnectAndPrepareLogin();
  c.Server->Mode = TExecuteMode::ReturnTable;
  c.Server->Table = std::make_shared<TFakeReader>(kManyRows, kNameLength);
  TDBXExecuteReply Reply = c.Client->Execute(0);
  ASSERT_EQ(Reply.Tables.size(), 1u);
  TDBXClientTable& Table = *Reply.Tables[0];
  EXPECT_EQ(Table.RowHandle(), 1);
  EXPECT_EQ(Table.CommandHandle(), 0);
  ASSERT_EQ(Table.ColumnCount(), 2);
  EXPECT_EQ(Table.Columns()[0].Name(), "ID");
  EXPECT_EQ(Table.Columns()[0].DataType(), TDBXDataTypes::Int32Type);
  EXPECT_EQ(Table.Columns()[1].Name(), "NOME");
  EXPECT_EQ(Table.Columns()[1].DataType(), TDBXDataTypes::WideStringType);
  EXPECT_FALSE(Table.LastBlockRead());
  EXPECT_EQ(c.Loop->UnreadBytes(), 0u);

  // Each next request carries the number of rows read before it.
  c.Loop->Sent.clear();
  std::string ExpectedRequests;
  int Rows = 0;
  for (;;) {
    const std::int32_t BlocksBefore = Table.BlocksRead();
    const int RowsBefore = Rows;
    if (!Table.Next()) break;
    if (Table.BlocksRead() > BlocksBefore) {
      ExpectedRequests += R"({"method":"next","params":[1,)" + std::to_string(RowsBefore) + ",0]}";
    }
    ++Rows;
    Table.Row().GoToField(1);  // out of order on purpose: the row is navigable
    ASSERT_EQ(Table.Row().ReadString(), TFakeReader::NameOf(Rows, kNameLength)) << Rows;
    Table.Row().GoToField(0);
    ASSERT_EQ(Table.Row().ReadInt32(), Rows);
  }
  EXPECT_EQ(Rows, kManyRows);
  EXPECT_TRUE(Table.LastBlockRead());
  EXPECT_GE(Table.BlocksRead(), 3);
  EXPECT_EQ(c.Loop->Sent, ExpectedRequests);
  EXPECT_EQ(c.Loop->UnreadBytes(), 0u);

  // After the last block nothing more is asked for.
  c.Loop->Sent.clear();
  EXPECT_FALSE(Table.FetchNextBlock());
  EXPECT_FALSE(Table.Next());
  EXPECT_EQ(c.Loop->Sent, "");
}

TEST(DbxClientTables, ANextForAClosedTableIsRefusedAndTheConnectionGoesOn) {
  TClientOverChain c;
  c.ConnectAndPrepareLogin();
  c.Server->Mode = TExecuteMode::ReturnTable;
  c.Server->Table = std::make_shared<TFakeReader>(kManyRows, kNameLength);
  TDBXExecuteReply Reply = c.Client->Execute(0);
  ASSERT_EQ(Reply.Tables.size(), 1u);
  TDBXClientTable& Table = *Reply.Tables[0];

  c.Loop->Sent.clear();
  c.Client->ReaderClose(Table);
  EXPECT_EQ(c.Loop->Sent, R"({"method":"reader_close","params":[1,0]})");
  EXPECT_EQ(c.Server->Calls.back(), "reader_close 1");
  EXPECT_EQ(c.Loop->UnreadBytes(), 0u);

  const TDBXError Error = ErrorOf([&] {
    while (Table.Next()) {
    }
  });
  EXPECT_EQ(Error.ErrorCode(), TDBXErrorCodes::NoOpenTable);
  EXPECT_NE(Error.Message().find(TDBXTableErrors::kNoOpenTable), std::string::npos);
  EXPECT_EQ(c.Loop->UnreadBytes(), 0u);
  EXPECT_TRUE(c.ExecuteLogin().HasParameterRow);
}

TEST(DbxClientTables, ATableInOneBlockNeedsNoNextRequest) {
  for (const int RowCount : {0, 3}) {
    SCOPED_TRACE(RowCount);
    TClientOverChain c;
    c.ConnectAndPrepareLogin();
    c.Server->Mode = TExecuteMode::ReturnTable;
    c.Server->Table = std::make_shared<TFakeReader>(RowCount, 5);
    TDBXExecuteReply Reply = c.Client->Execute(0);
    ASSERT_EQ(Reply.Tables.size(), 1u);
    TDBXClientTable& Table = *Reply.Tables[0];
    EXPECT_TRUE(Table.LastBlockRead());
    int Rows = 0;
    while (Table.Next()) {
      ++Rows;
      EXPECT_EQ(Table.Row().ReadInt32(), Rows);
    }
    EXPECT_EQ(Rows, RowCount);
    EXPECT_EQ(Occurrences(c.Loop->Sent, R"("next")"), 0u);
    EXPECT_EQ(c.Loop->UnreadBytes(), 0u);
  }
}

TEST(DbxClientBlobs, ALongOutStringIsFetchedWithMoreBlobUntilItsCommandCloses) {
  TClientOverChain c;
  c.ConnectAndPrepareLogin();
  // Far beyond one row buffer and one write buffer: several more-blob pieces.
  std::u16string Long(100000, u' ');
  for (std::size_t i = 0; i < Long.size(); ++i) Long[i] = static_cast<char16_t>(u'A' + i % 23);
  Long[Long.size() - 1] = u'\u0100';  // the tail switches to two bytes per unit
  c.Server->LongOut = Long;

  const TDBXExecuteReply Reply = c.Client->Execute(0);
  ASSERT_TRUE(Reply.HasParameterRow);
  TDBXRowBuffer& Out = c.Client->ParameterRow();
  Out.GoToField(1);
  EXPECT_EQ(Out.ReadString(), Long);
  // command 0, blob 1, row 0, ordinal 1, an out parameter, no table
  EXPECT_EQ(c.Loop->Sent.find(R"({"method":"more_blob","params":[0,1,0,1,true,-1]})"),
            c.Loop->Sent.find(R"({"method":"more_blob")"));
  EXPECT_GE(Occurrences(c.Loop->Sent, R"("more_blob")"), 3u);
  EXPECT_EQ(c.Loop->UnreadBytes(), 0u);

  c.Loop->Sent.clear();
  c.Client->CommandClose(0);
  EXPECT_EQ(c.Loop->Sent, R"({"method":"command_close","params":[0]})");
  EXPECT_EQ(c.Server->Calls.back(), "command_close 0");
  Out.GoToField(1);
  EXPECT_EQ(ErrorOf([&] { Out.ReadString(); }).ErrorCode(), TDBXErrorCodes::CommandClosed);
  EXPECT_EQ(c.Loop->Sent, R"({"method":"command_close","params":[0]})");
}

// --- Long parameters: the server's more-blob requests during an execute ------------------

// A server that, after an execute request, asks for the rest of each ordinal of its list
// in turn, again and again until the client's answer is a last piece, and then replies
// Reply. Each flush of the client is one request or one answer.
class TMoreBlobServerChannel : public TDbxChannel {
 public:
  struct TPiece {
    std::int32_t Ordinal;
    std::int32_t Count;  // as written: negative on the last piece
    std::string CountField;
    std::string Bytes;
  };

  TMoreBlobServerChannel(std::vector<std::int32_t> Ordinals, std::string Reply)
      : FOrdinals(std::move(Ordinals)), FReply(std::move(Reply)) {}

  std::int32_t Read(std::span<std::uint8_t> Buffer) override {
    const std::size_t n = std::min(Buffer.size(), FToClient.size() - FReadPosition);
    std::copy_n(FToClient.begin() + static_cast<std::ptrdiff_t>(FReadPosition), n, Buffer.begin());
    FReadPosition += n;
    return static_cast<std::int32_t>(n);
  }

  void Write(std::span<const std::uint8_t> Bytes) override {
    const std::string Text(Bytes.begin(), Bytes.end());
    if (FInRequest || Text.starts_with(R"({"method":"execute")")) {
      // A request larger than the write buffer arrives in several writes.
      FInRequest = !Text.ends_with("]}]}");
      if (FInRequest) return;
      FNext = 0;
      AskOrReply();
    } else if (Text.starts_with(kDataStart)) {
      ReadAnswer(Text);
    } else {
      ADD_FAILURE() << "unexpected write: " << Text.substr(0, 40);
    }
  }

  bool ConnectionLost() const override { return false; }
  const TDBXChannelInfo& ChannelInfo() const override { return FInfo; }

  std::size_t UnreadBytes() const { return FToClient.size() - FReadPosition; }
  // The bytes of every answer for Ordinal, in order.
  std::string RestOf(std::int32_t Ordinal) const {
    std::string Rest;
    for (const auto& Piece : Pieces) {
      if (Piece.Ordinal == Ordinal) Rest += Piece.Bytes;
    }
    return Rest;
  }

  std::vector<TPiece> Pieces;

 private:
  static constexpr std::string_view kDataStart = R"({"data":[)";

  void AskOrReply() {
    const std::string Request = FNext < FOrdinals.size()
        ? R"({"more_blob":[0,)" + std::to_string(FNext + 1) + ",0," + std::to_string(FOrdinals[FNext]) + ",-1]}"
        : FReply;
    FToClient.insert(FToClient.end(), Request.begin(), Request.end());
  }

  // {"data":[count padded to 9 characters,bytes]}
  void ReadAnswer(const std::string& Text) {
    ASSERT_LT(FNext, FOrdinals.size()) << "an answer nobody asked for";
    TPiece Piece{FOrdinals[FNext], 0, Text.substr(kDataStart.size(), 9), ""};
    Piece.Count = std::stoi(Piece.CountField);
    const std::size_t Start = kDataStart.size() + 10;
    const std::size_t Length = static_cast<std::size_t>(std::abs(Piece.Count));
    ASSERT_EQ(Text.size(), Start + Length + 2) << "one answer per flush, whole";
    EXPECT_EQ(Text.substr(Start - 1, 1), ",");
    EXPECT_EQ(Text.substr(Start + Length), "]}");
    Piece.Bytes = Text.substr(Start, Length);
    if (Piece.Count <= 0) ++FNext;
    Pieces.push_back(std::move(Piece));
    AskOrReply();
  }

  std::vector<std::int32_t> FOrdinals;
  std::string FReply;
  std::size_t FNext = 0;
  bool FInRequest = false;
  std::vector<std::uint8_t> FToClient;
  std::size_t FReadPosition = 0;
  TDBXChannelInfo FInfo;
};

// Bytes that differ from their neighbours, so that a piece out of place shows.
std::vector<std::uint8_t> Pattern(std::size_t Length, std::uint8_t Seed) {
  std::vector<std::uint8_t> Bytes(Length);
  for (std::size_t i = 0; i < Length; ++i) Bytes[i] = static_cast<std::uint8_t>(Seed + i * 7 + i / 251);
  return Bytes;
}

// A byte source that cannot tell its size: the row buffer leaves its rest in it.
class TUnsizedStream : public TStream {
 public:
  explicit TUnsizedStream(std::vector<std::uint8_t> Bytes) : FBytes(std::move(Bytes)) {}
  std::int64_t Read(std::span<std::uint8_t> Buffer) override { return FBytes.Read(Buffer); }

 private:
  TBytesStream FBytes;
};

constexpr char kVoidReply[] = R"({"result":[]})";

// A piece's count as the server reads it: left-aligned, padded with blanks to 9 places.
std::string PaddedCount(std::int32_t Count) {
  std::string Field = std::to_string(Count);
  Field.resize(9, ' ');
  return Field;
}

TEST(DbxClientLongParameters, EachMoreBlobRequestGetsTheNextPieceOfTheValueHeldForItsOrdinal) {
  // Rests of several pieces (a piece is at most a write buffer), and one left in a
  // source that cannot tell its size.
  const auto First = Pattern(30000, 1);
  const auto Second = Pattern(20000, 99);
  const auto Third = Pattern(5000, 200);
  TMoreBlobServerChannel Server({1, 3, 4}, kVoidReply);
  TDBXClientConnection Client(Server);

  TDBXRowBuffer& Row = Client.BeginParameters();
  EXPECT_TRUE(Row.WriteString(u"short"));
  EXPECT_FALSE(Client.HoldLongParameter(0));  // it fitted: no rest
  const auto FirstInline = static_cast<std::size_t>(Row.WriteBytes(First));
  EXPECT_TRUE(Client.HoldLongParameter(1));
  Row.WriteNull();
  const auto SecondInline = static_cast<std::size_t>(Row.WriteBytes(Second));
  EXPECT_TRUE(Client.HoldLongParameter(3));
  auto Source = std::make_unique<TUnsizedStream>(Third);
  const auto ThirdInline = static_cast<std::size_t>(Row.WriteBytes(*Source));
  EXPECT_FALSE(Client.HoldLongParameter(4));  // the rest is still in the source
  Client.HoldLongParameter(4, std::move(Source));

  const TDBXExecuteReply Reply = Client.Execute(0);
  EXPECT_FALSE(Reply.HasParameterRow);
  EXPECT_EQ(Server.UnreadBytes(), 0u);
  const auto Rest = [](const std::vector<std::uint8_t>& Value, std::size_t Inline) {
    return std::string(Value.begin() + static_cast<std::ptrdiff_t>(Inline), Value.end());
  };
  EXPECT_EQ(Server.RestOf(1), Rest(First, FirstInline));
  EXPECT_EQ(Server.RestOf(3), Rest(Second, SecondInline));
  EXPECT_EQ(Server.RestOf(4), Rest(Third, ThirdInline));
  ASSERT_GE(Server.Pieces.size(), 5u);
  for (std::size_t i = 0; i < Server.Pieces.size(); ++i) {
    const auto& Piece = Server.Pieces[i];
    SCOPED_TRACE(::testing::Message() << "piece " << i << " of ordinal " << Piece.Ordinal);
    // With the rests whole, this shows each value's last piece was marked: unmarked, the
    // server would have asked once more and got an empty piece.
    EXPECT_NE(Piece.Count, 0);
    EXPECT_EQ(Piece.CountField, PaddedCount(Piece.Count));
  }
}

TEST(DbxClientLongParameters, ARequestForAnOrdinalWithNothingHeldGetsAnEmptyLastPieceAndIsRaisedAfterTheReply) {
  struct TCase {
    const char* Name;
    std::string Reply;
    std::int32_t Code;
    std::string Message;
  };
  const TCase Cases[] = {
      {"reply", kVoidReply, 0, "No long value held for parameter 2"},
      // The server's own error wins: it is what the caller must see.
      {"error reply", R"({"error":{"name":"E","code":113,"message":"no"})", 113, "no"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    // 2 was never held; 1 was held for the execute before and dropped by
    // BeginParameters; 0 was sent whole already when the server asks again.
    TMoreBlobServerChannel Server({0, 2, 1, 0}, Case.Reply);
    TDBXClientConnection Client(Server);
    Client.BeginParameters();
    Client.HoldLongParameter(1, std::make_unique<TBytesStream>(Pattern(10, 0)));
    TDBXRowBuffer& Row = Client.BeginParameters();
    Row.WriteBytes(Pattern(10000, 0));
    ASSERT_TRUE(Client.HoldLongParameter(0));

    const TDBXError Error = ErrorOf([&] { Client.Execute(0); });
    EXPECT_EQ(Error.ErrorCode(), Case.Code);
    EXPECT_EQ(Error.Message(), Case.Message);
    ASSERT_EQ(Server.Pieces.size(), 4u);
    EXPECT_LT(Server.Pieces[0].Count, 0);
    for (std::size_t i = 1; i < Server.Pieces.size(); ++i) {
      EXPECT_EQ(Server.Pieces[i].CountField, PaddedCount(0)) << i;
      EXPECT_EQ(Server.Pieces[i].Bytes, "") << i;
    }
    EXPECT_EQ(Server.UnreadBytes(), 0u);
  }
}

TEST(DbxClientSession, DisconnectSendsTheConnectionHandleAndEndsRequestHandling) {
  TClientOverChain c;
  c.Client->Connect({});
  c.Loop->Sent.clear();
  c.Client->Disconnect();
  EXPECT_EQ(c.Loop->Sent, R"({"method":"disconnect","params":[0]})");
  EXPECT_EQ(c.Server->Calls.back(), "disconnect");
  EXPECT_FALSE(c.Loop->Serving());
  EXPECT_EQ(c.Loop->UnreadBytes(), 0u);
}

}  // namespace
}  // namespace tavrin
