// The product list through the network: the product's container on a loopback port
// over a real data folder, asked by the project's client. Which products come, in what
// order and in which pages; the query's opening and closing lines in the log; paging
// clients kept apart; a client that drops mid-list; writers never kept waiting between
// pages; a packet too long for the reply's row arriving whole.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/connection.h"
#include "client/provider_client.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/packet_values.h"
#include "dbxstream/command_types.h"
#include "demo_data/demo_data.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "product/server_container.h"
#include "support/error_of.h"
#include "support/temp_folder.h"
#include "transport/tcp_client_channel.h"
#include "vocabulary/dbx_limits.h"
#include "vocabulary/unicode_text.h"

namespace tavrin::testing {
namespace {

namespace M = TServerMethodsTexts;
namespace C = TServerContainerTexts;
using Lines = std::vector<std::string>;

constexpr std::int32_t kAll = -1;
constexpr std::int32_t kReset = 2;  // grReset

class TListLog : public IActivityLogWriter {
 public:
  void Append(std::string_view Message) noexcept override {
    std::lock_guard Lock(FMutex);
    FLines.emplace_back(Message);
  }
  // The lines but the connection lines, once Last has been written (or after a few
  // seconds).
  Lines DatabaseLines(const std::string& Last = {}) {
    for (int Attempt = 0; Attempt < 500; ++Attempt) {
      {
        std::lock_guard Lock(FMutex);
        if (Last.empty() || (!FLines.empty() && FLines.back() == Last)) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard Lock(FMutex);
    Lines Result;
    for (const auto& Line : FLines) {
      if (Line.rfind(C::kConnected, 0) != 0 && Line.rfind(C::kDisconnected, 0) != 0) Result.push_back(Line);
    }
    return Result;
  }

 private:
  std::mutex FMutex;
  Lines FLines;
};

// A data folder whose tabest1 holds five products, three of them active, served by the
// product's container on an ephemeral port.
class ProductListTest : public ::testing::Test {
 protected:
  ProductListTest() {
    CreateDemoData(FFolder.Path().string());
    Execute(
        "delete from tabest1;"
        "insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo) values"
        " (10, 'Sab\u00e3o em p\u00f3', 7.5, 11.9, 12, null),"
        " (11, 'Vassoura', 9, 15, 3, 1),"
        " (12, 'Arroz 5kg', 18.25, 24.9, 40.5, 0),"
        " (13, 'Caf\u00e9 500g', 12.5, 18.9, 0, 0),"
        " (14, 'Balde', 6, 10, 8, 1)");
  }
  void Execute(const std::string& Sql) const {
    TSqliteConnection Connection((FFolder.Path() / TDatabaseFiles::kDatabaseFileName).string(),
                                 TSqliteConnection::TOpenMode::ExistingFile);
    Connection.Execute(Sql);
  }
  std::uint16_t Port() const { return FContainer.BoundPort(); }

  TTempFolder FFolder;
  TSession FSession;
  TListLog FLog;
  std::string FDataFolder = FFolder.Path().string();
  TServerMethodsServices FServices{FLog, [this] { return FDataFolder; }, FSession,
                                   [](const std::string&) { return false; }};
  TServerContainer1 FContainer{FServices, {.Port = 0}};
};

// One client session of the product's class.
class TListClient {
 public:
  explicit TListClient(std::uint16_t Port) : FChannel("127.0.0.1", Port, true), FConnection(FChannel) {
    FConnection.Connect({});
  }
  TDBXRecordsReply Get(std::int32_t Count, std::int32_t Options = 0, std::u16string_view Name = u"dsEst1") {
    return FProvider.GetRecords(Name, Count, Options);
  }
  std::u16string Names() { return FProvider.GetProviderNames(); }
  std::size_t LastResultBytes() const { return FProvider.LastResultBytes(); }
  void Disconnect() {
    FProvider.Close();
    FConnection.Disconnect();
  }
  // Drops the connection without a word, as a phone that loses its signal.
  void Drop() { FChannel.Close(); }

 private:
  TDBXTcpClientChannel FChannel;
  TDBXClientConnection FConnection;
  TDBXProviderClient FProvider{FConnection, u"TvxServerMethods8765"};
};

// "code description cost sale quantity" per row of a packet.
Lines Rows(const TDSVariant& Packet) {
  const TDSBase Base(std::get<std::vector<std::uint8_t>>(Packet.Value));
  Lines Result;
  for (TDSCursor Cursor(Base); !Cursor.Eof(); Cursor.Next()) {
    std::string Row;
    for (const TPacketColumn& Column : Base.Level().Columns) {
      const TPacketValue& Value = Cursor.Value(Column);
      Row += (Row.empty() ? "" : "|") +
             (Value.State == TValueState::Null ? std::string("null") : *ValueText(Column.TypeWord, Value.Data));
    }
    Result.push_back(Row);
  }
  return Result;
}

const Lines kActive = {"12|Arroz 5kg|18.25|24.9|40.5", "13|Caf\u00e9 500g|12.5|18.9|0",
                       "10|Sab\u00e3o em p\u00f3|7.5|11.9|12"};
const Lines kOpened = {M::kConnected};
const Lines kOpenedAndClosed = {M::kConnected, M::kDisconnected};

TEST_F(ProductListTest, TheProviderIsListedAndFoundInAnyLetterCaseButNoOtherName) {
  TListClient Client(Port());
  EXPECT_EQ(Client.Names(), u"dsEst1");
  EXPECT_EQ(Client.Get(kAll, 0, u"DSEST1").RecsOut, 3);
  const TDBXError Unknown = ErrorOf([&] { Client.Get(kAll, 0, u"dsEst2"); });
  EXPECT_EQ(Unknown.Message(), "Remote error: Provider not exported: dsEst2");
  EXPECT_EQ(Unknown.ErrorCode(), 5);
  EXPECT_EQ(Client.Get(kAll).RecsOut, 3);  // the connection goes on
}

TEST_F(ProductListTest, AllRowsComeActiveOnlyInDescriptionOrderAndTheQueryClosesAfterThem) {
  TListClient Client(Port());
  const TDBXRecordsReply Reply = Client.Get(kAll);
  EXPECT_EQ(Reply.RecsOut, 3);
  EXPECT_EQ(Rows(Reply.Data), kActive);
  EXPECT_EQ(FLog.DatabaseLines(), kOpenedAndClosed);
  // The columns the product list promises, in order, typed as the table declares them.
  const TDSBase Base(std::get<std::vector<std::uint8_t>>(Reply.Data.Value));
  Lines Columns;
  for (const TPacketColumn& Column : Base.Level().Columns) {
    Columns.push_back(Column.Name + ":" + std::string(BaseTypeName(Column.BaseType())));
  }
  EXPECT_EQ(Columns, (Lines{"codigo:integer", "produto:widetext", "precocusto:float", "precovenda:float",
                            "quantidade:float"}));
  ASSERT_NE(Base.Level().FindAttribute("PRIMARY_KEY"), nullptr);
  EXPECT_EQ(AttributeIntegers(*Base.Level().FindAttribute("PRIMARY_KEY")), (std::vector<std::int64_t>{1}));
}

TEST_F(ProductListTest, PagesLeaveTheQueryOpenUntilAShortPageClosesIt) {
  TListClient Client(Port());
  TDBXRecordsReply Page = Client.Get(2);
  EXPECT_EQ(Page.RecsOut, 2);
  EXPECT_EQ(Rows(Page.Data), (Lines{kActive[0], kActive[1]}));
  EXPECT_EQ(FLog.DatabaseLines(), kOpened);
  Page = Client.Get(2);
  EXPECT_EQ(Page.RecsOut, 1);
  EXPECT_EQ(Rows(Page.Data), (Lines{kActive[2]}));
  EXPECT_EQ(FLog.DatabaseLines(), kOpenedAndClosed);
}

TEST_F(ProductListTest, MetadataLeavesTheQueryOpenAndAResetWithoutRowsClosesItAndAnswersNull) {
  TListClient Client(Port());
  const TDBXRecordsReply Meta = Client.Get(0);
  EXPECT_EQ(Meta.RecsOut, 0);
  EXPECT_TRUE(Rows(Meta.Data).empty());
  EXPECT_EQ(TDSBase(std::get<std::vector<std::uint8_t>>(Meta.Data.Value)).Level().Columns.size(), 5u);
  EXPECT_EQ(FLog.DatabaseLines(), kOpened);
  const TDBXRecordsReply Reset = Client.Get(0, kReset);
  EXPECT_TRUE(Reset.Data.IsNull());
  EXPECT_EQ(Client.LastResultBytes(), 0u);  // a null stream value
  EXPECT_EQ(Reset.RecsOut, 0);
  EXPECT_EQ(FLog.DatabaseLines(), kOpenedAndClosed);
}

TEST_F(ProductListTest, AnEmptyListStillOpensAndClosesTheQuery) {
  Execute("update tabest1 set inativo = 1");
  TListClient Client(Port());
  const TDBXRecordsReply Reply = Client.Get(kAll);
  EXPECT_EQ(Reply.RecsOut, 0);
  EXPECT_TRUE(Rows(Reply.Data).empty());
  EXPECT_EQ(FLog.DatabaseLines(), kOpenedAndClosed);
}

TEST_F(ProductListTest, AMissingTableIsAnErrorReplyWithoutAnOpeningLine) {
  Execute("drop table tabest1");
  TListClient Client(Port());
  EXPECT_EQ(ErrorOf([&] { Client.Get(kAll); }).Message(), "Remote error: Table not found: tabest1");
  EXPECT_TRUE(FLog.DatabaseLines().empty());
}

TEST_F(ProductListTest, TwoClientsPagingAtOnceEachGetTheirOwnRows) {
  TListClient First(Port()), Second(Port());
  EXPECT_EQ(Rows(First.Get(1).Data), (Lines{kActive[0]}));
  EXPECT_EQ(Rows(Second.Get(2).Data), (Lines{kActive[0], kActive[1]}));
  EXPECT_EQ(Rows(First.Get(1).Data), (Lines{kActive[1]}));
  EXPECT_EQ(Rows(Second.Get(2).Data), (Lines{kActive[2]}));
  EXPECT_EQ(Rows(First.Get(1).Data), (Lines{kActive[2]}));
  EXPECT_EQ(First.Get(1).RecsOut, 0);
  EXPECT_EQ(FLog.DatabaseLines(), (Lines{M::kConnected, M::kConnected, M::kDisconnected, M::kDisconnected}));
}

TEST_F(ProductListTest, AClientThatDropsMidListLeavesNoQueryOpenAndNoClosingLine) {
  {
    TListClient Phone(Port());
    EXPECT_EQ(Phone.Get(1).RecsOut, 1);
    Phone.Drop();
  }
  // The connection's end takes its instance and the query with it, without the line.
  auto& Transport = FContainer.DSTCPServerTransport1.Transport();
  for (int Attempt = 0; Attempt < 500 && Transport.ConnectionCount() > 0; ++Attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(Transport.ConnectionCount(), 0u);
  EXPECT_EQ(FLog.DatabaseLines(), kOpened);
  // Nothing of the database is held: a writer goes ahead at once.
  Execute("pragma busy_timeout = 0; update tabest1 set precovenda = precovenda + 1");
  TListClient Next(Port());
  EXPECT_EQ(Next.Get(kAll).RecsOut, 3);
}

// Between two pages the server holds no read of the database: with a rollback journal
// (where a reader keeps writers out) a writer that will not wait commits at once.
TEST_F(ProductListTest, AClientBetweenPagesKeepsNoWriterWaiting) {
  Execute("pragma journal_mode = delete");
  TListClient Client(Port());
  EXPECT_EQ(Client.Get(1).RecsOut, 1);
  Execute("pragma busy_timeout = 0; insert into tabest1 (codigo, produto) values (20, 'Agulha')");
  // The rest of the list is the one the query opened on.
  EXPECT_EQ(Rows(Client.Get(kAll).Data), (Lines{kActive[1], kActive[2]}));
}

TEST_F(ProductListTest, APacketLongerThanTheReplysRowArrivesWholeInPieces) {
  std::string Insert = "insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade) values ";
  for (int i = 100; i < 400; ++i) {
    Insert += (i > 100 ? "," : "") + ("(" + std::to_string(i) + ", 'Produto n\u00famero " + std::to_string(i) +
                                      "', 1.5, 2.25, " + std::to_string(i) + ")");
  }
  Execute(Insert);
  TListClient Client(Port());
  const TDBXRecordsReply Reply = Client.Get(kAll);
  EXPECT_GT(Client.LastResultBytes(), static_cast<std::size_t>(limits::kMaxInline) * 10);
  EXPECT_EQ(Reply.RecsOut, 303);
  const Lines All = Rows(Reply.Data);
  ASSERT_EQ(All.size(), 303u);
  EXPECT_EQ(All[1], kActive[1]);
  EXPECT_EQ(All[2], "100|Produto n\u00famero 100|1.5|2.25|100");
  EXPECT_EQ(All.back(), kActive[2]);
}

// The result's stream form: tag 3, a 64-bit length, the packet.
TEST_F(ProductListTest, APacketTravelsAsAByteArrayStream) {
  TDBXTcpClientChannel Channel("127.0.0.1", Port(), true);
  TDBXClientConnection Connection(Channel);
  Connection.Connect({});
  const auto Prepared = Connection.Prepare(TDSCommandTypes::kServerMethod, u"TvxServerMethods8765.AS_GetRecords");
  TDBXRowBuffer& Parameters = Connection.BeginParameters();
  Parameters.WriteString(u"dsEst1");
  Parameters.WriteInt32(-1);
  Parameters.WriteNull();
  Parameters.WriteInt32(0);
  Parameters.WriteString(u"");
  for (int i = 0; i < 3; ++i) Parameters.WriteNull();
  Connection.Execute(Prepared.CommandHandle);
  Connection.ParameterRow().GoToField(7);
  const std::vector<std::uint8_t> Bytes = Connection.ParameterRow().ReadBytes();
  ASSERT_GT(Bytes.size(), 9u);
  EXPECT_EQ(Bytes[0], 3);
  std::uint64_t Length = 0;
  for (int i = 0; i < 8; ++i) Length |= std::uint64_t{Bytes[1 + static_cast<std::size_t>(i)]} << (8 * i);
  EXPECT_EQ(Length, Bytes.size() - 9);
  EXPECT_EQ(std::string(Bytes.begin() + 9, Bytes.begin() + 13), "TVPK");
}

}  // namespace
}  // namespace tavrin::testing
