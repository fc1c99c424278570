// Changes sent back through the network: the product's container on a loopback port
// over a real data folder; clients fetch the product list, change rows and send the
// delta back through AS_ApplyUpdates, or ask for rows again through AS_RowRequest.
// What reaches tabest1, what comes back in the error packet, the transaction around
// the rows, and values that must travel exactly as they are.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client/connection.h"
#include "client/provider_client.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/delta_writer.h"
#include "datapacket/packet_values.h"
#include "demo_data/demo_data.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "engine/query.h"
#include "engine/query_provider_support.h"
#include "product/server_container.h"
#include "provider/data_set_provider.h"
#include "server/methods/provider_data_module.h"
#include "support/error_of.h"
#include "support/temp_folder.h"
#include "transport/tcp_client_channel.h"

namespace tavrin::testing {
namespace {

using ApplyLines = std::vector<std::string>;

constexpr std::int32_t kApplyAll = -1;
constexpr std::int32_t kNoLimit = -1;
constexpr std::int32_t kFetchRecord = 1;

class TApplyLog : public IActivityLogWriter {
 public:
  void Append(std::string_view) noexcept override {}
};

// A data folder whose tabest1 holds five active products, served on an ephemeral port.
class ApplyUpdatesTest : public ::testing::Test {
 protected:
  ApplyUpdatesTest() {
    CreateDemoData(FFolder.Path().string());
    Execute(
        "delete from tabest1;"
        "insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo) values"
        " (1, 'Arroz', 18.25, 24.9, 40, 0),"
        " (2, 'Balde', 6, 10, 8, null),"
        " (3, 'Caf\u00e9', 12.5, 18.9, 0, 0),"
        " (4, 'Detergente', 1.5, 2.75, 100, 0),"
        " (5, 'Esponja', 0.5, 1.2, 30, 0)");
  }
  void Execute(const std::string& Sql) const {
    TSqliteConnection Connection(File(), TSqliteConnection::TOpenMode::ExistingFile);
    Connection.Execute(Sql);
  }
  std::string File() const { return (FFolder.Path() / TDatabaseFiles::kDatabaseFileName).string(); }
  // The table as "codigo|produto|precocusto|precovenda|quantidade" lines, by code.
  ApplyLines Table() const {
    TSqliteConnection Connection(File(), TSqliteConnection::TOpenMode::ExistingFile);
    TSqliteStatement Statement;
    std::string_view Tail;
    EXPECT_EQ(Statement.Prepare(Connection,
                                "select codigo, produto, precocusto, precovenda, quantidade from tabest1 order by codigo",
                                Tail),
              0);
    ApplyLines Lines;
    while (Statement.Step()) {
      std::string Line;
      for (int Column = 0; Column < 5; ++Column) {
        const TFieldValue Value = Statement.ColumnValue(Column);
        std::string Text = "null";
        if (const auto* Whole = std::get_if<std::int64_t>(&Value)) Text = std::to_string(*Whole);
        if (const auto* Number = std::get_if<double>(&Value)) {
          char Buffer[32];
          std::snprintf(Buffer, sizeof Buffer, "%.17g", *Number);
          Text = Buffer;
        }
        if (const auto* String = std::get_if<std::string>(&Value)) Text = *String;
        Line += (Column ? "|" : "") + Text;
      }
      Lines.push_back(Line);
    }
    return Lines;
  }
  std::uint16_t Port() const { return FContainer.BoundPort(); }

  TTempFolder FFolder;
  TSession FSession;
  TApplyLog FLog;
  std::string FDataFolder = FFolder.Path().string();
  TServerMethodsServices FServices{FLog, [this] { return FDataFolder; }, FSession,
                                   [](const std::string&) { return false; }};
  TServerContainer1 FContainer{FServices, {.Port = 0}};
};

// One client session: the list it fetched, and deltas built on it.
class TApplyClient {
 public:
  explicit TApplyClient(std::uint16_t Port) : FChannel("127.0.0.1", Port, true), FConnection(FChannel) {
    FConnection.Connect({});
    Fetch();
  }
  void Fetch() {
    const TDBXRecordsReply Reply = FProvider.GetRecords(u"dsEst1", kApplyAll, 0);
    FList = std::make_unique<TDSBase>(std::get<std::vector<std::uint8_t>>(Reply.Data.Value));
  }
  const TDSBase& List() const { return *FList; }
  // A cursor on the fetched row of product Code.
  TDSCursor RowOf(std::int64_t Code) const {
    TDSCursor Cursor(*FList);
    const TPacketColumn& Key = *FList->Level().FindColumn("codigo");
    for (; !Cursor.Eof(); Cursor.Next()) {
      if (ReadInteger(Key.TypeWord, Cursor.Value(Key).Data) == Code) return Cursor;
    }
    ADD_FAILURE() << "no product " << Code;
    return Cursor;
  }
  std::size_t Slot(std::string_view Name) const { return FList->Level().FindColumn(Name)->Slot; }

  struct TAnswer {
    std::int32_t ErrorCount = 0;
    TDSVariant Errors;
  };
  TAnswer Apply(std::vector<std::uint8_t> Delta, std::int32_t MaxErrors) {
    TAnswer Answer;
    Answer.Errors = FProvider.ApplyUpdates(u"dsEst1", std::move(Delta), MaxErrors, Answer.ErrorCount);
    return Answer;
  }
  TDSVariant RowRequest(std::vector<std::uint8_t> Row, std::int32_t Type) {
    return FProvider.RowRequest(u"dsEst1", std::move(Row), Type);
  }

 private:
  TDBXTcpClientChannel FChannel;
  TDBXClientConnection FConnection;
  TDBXProviderClient FProvider{FConnection, u"TvxServerMethods8765"};
  std::unique_ptr<TDSBase> FList;
};

TDeltaValue PriceOf(double Price) { return TDeltaValue::Of(FloatValue(Price).Bytes()); }
TDeltaValue NameOf(std::string_view Text) { return TDeltaValue::Of(WideTextValue(Text)); }

// A delta setting the sale price of each product of Codes.
std::vector<std::uint8_t> PriceDelta(const TApplyClient& Client, const std::vector<std::pair<std::int64_t, double>>& Prices) {
  TDeltaWriter Delta(Client.List());
  for (const auto& [Code, Price] : Prices) Delta.AddModified(Client.RowOf(Code), {{Client.Slot("precovenda"), PriceOf(Price)}});
  return Delta.Take();
}

// "recno|message|codigo" per row of an error packet.
ApplyLines ErrorRows(const TDSVariant& Packet) {
  const TDSBase Base(std::get<std::vector<std::uint8_t>>(Packet.Value));
  const TPacketLevel& Level = Base.Level();
  EXPECT_EQ(Level.Columns[0].Name, "ERROR_RECORDNO");
  ApplyLines Lines;
  for (TDSCursor Row(Base); !Row.Eof(); Row.Next()) {
    const auto Text = [&](std::string_view Name) {
      const TPacketColumn& Column = *Level.FindColumn(Name);
      return *ValueText(Column.TypeWord, Row.Value(Column).Data);
    };
    Lines.push_back(Text("ERROR_RECORDNO") + "|" + Text("ERROR_MESSAGE") + "|" + Text("codigo"));
  }
  return Lines;
}

const ApplyLines kInitial = {"1|Arroz|18.25|24.899999999999999|40", "2|Balde|6|10|8", "3|Caf\u00e9|12.5|18.899999999999999|0",
                             "4|Detergente|1.5|2.75|100", "5|Esponja|0.5|1.2|30"};
constexpr char kChanged[] = "Record not found or changed by another user";

TEST_F(ApplyUpdatesTest, AnUpdateAnInsertAndADeleteReachTheTableInOneCall) {
  TApplyClient Client(Port());
  TDeltaWriter Delta(Client.List());
  Delta.AddModified(Client.RowOf(1), {{Client.Slot("precovenda"), PriceOf(26.5)}, {Client.Slot("produto"), NameOf("Arroz 5kg")}});
  Delta.AddInserted({TDeltaValue::Of(IntegerValue(6, 4).Bytes()), NameOf("Farinha"), PriceOf(3), PriceOf(4.5),
                     TDeltaValue::Null()});
  Delta.AddDeleted(Client.RowOf(2));
  const auto Answer = Client.Apply(Delta.Take(), 0);
  EXPECT_EQ(Answer.ErrorCount, 0);
  EXPECT_TRUE(Answer.Errors.IsNull());
  EXPECT_EQ(Table(), (ApplyLines{"1|Arroz 5kg|18.25|26.5|40", kInitial[2], kInitial[3], kInitial[4], "6|Farinha|3|4.5|null"}));
}

TEST_F(ApplyUpdatesTest, MaxErrorsZeroWithOneFailingRowRollsBackTheWholeDelta) {
  TApplyClient Client(Port());
  Execute("update tabest1 set quantidade = 7 where codigo = 3");  // someone else was first
  const auto Answer = Client.Apply(PriceDelta(Client, {{1, 30}, {3, 20}, {4, 3}}), 0);
  EXPECT_EQ(Answer.ErrorCount, 1);
  // The failing row is the modified row of the second pair: record 4.
  EXPECT_EQ(ErrorRows(Answer.Errors), (ApplyLines{std::string("4|") + kChanged + "|3"}));
  ApplyLines Expected = kInitial;
  Expected[2] = "3|Caf\u00e9|12.5|18.899999999999999|7";
  EXPECT_EQ(Table(), Expected);
}

TEST_F(ApplyUpdatesTest, NoLimitLogsEveryFailingRowAndCommitsTheRest) {
  TApplyClient Client(Port());
  Execute("update tabest1 set precocusto = 1 where codigo in (2, 4)");
  const auto Answer = Client.Apply(PriceDelta(Client, {{1, 30}, {2, 11}, {3, 20}, {4, 3}, {5, 1.5}}), kNoLimit);
  EXPECT_EQ(Answer.ErrorCount, 2);
  EXPECT_EQ(ErrorRows(Answer.Errors), (ApplyLines{std::string("4|") + kChanged + "|2", std::string("8|") + kChanged + "|4"}));
  EXPECT_EQ(Table(), (ApplyLines{"1|Arroz|18.25|30|40", "2|Balde|1|10|8", "3|Caf\u00e9|12.5|20|0", "4|Detergente|1|2.75|100",
                                 "5|Esponja|0.5|1.5|30"}));
}

// Old values the where clause must match exactly as stored, and new values that must be
// stored exactly as sent.
TEST_F(ApplyUpdatesTest, ValuesTravelAsBoundParametersAndMatchWhatIsStored) {
  const struct {
    const char* Setup;     // the row as stored before the list is fetched
    std::string NewName;   // what the client writes into produto
    std::string Expected;  // the row afterwards
  } Cases[] = {
      {"update tabest1 set produto = '', precovenda = 0.1 + 0.2 where codigo = 1", "Arroz",
       "1|Arroz|18.25|0.30000000000000004|41"},
      {"update tabest1 set produto = null where codigo = 1", "Arroz",
       "1|Arroz|18.25|24.899999999999999|41"},
      {"", "O'Brien \"x\" '; DROP TABLE tabest1; --",
       "1|O'Brien \"x\" '; DROP TABLE tabest1; --|18.25|24.899999999999999|41"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Setup);
    Execute("delete from tabest1 where codigo = 1;"
            "insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo)"
            " values (1, 'Arroz', 18.25, 24.9, 40, 0)");
    if (*Case.Setup) Execute(Case.Setup);
    TApplyClient Client(Port());
    TDeltaWriter Delta(Client.List());
    Delta.AddModified(Client.RowOf(1), {{Client.Slot("produto"), NameOf(Case.NewName)},
                                        {Client.Slot("quantidade"), PriceOf(41)}});
    const auto Answer = Client.Apply(Delta.Take(), 0);
    EXPECT_EQ(Answer.ErrorCount, 0);
    EXPECT_EQ(Table().front(), Case.Expected);
    EXPECT_EQ(Table().size(), 5u);
  }
}

TEST_F(ApplyUpdatesTest, TwoClientsChangingOneRowAtOnceGiveOneWinnerAndOneConflict) {
  TApplyClient First(Port()), Second(Port());
  std::vector<std::uint8_t> Deltas[2] = {PriceDelta(First, {{3, 21}}), PriceDelta(Second, {{3, 22}})};
  TApplyClient* Clients[2] = {&First, &Second};
  TApplyClient::TAnswer Answers[2];
  std::vector<std::thread> Threads;
  for (int i = 0; i < 2; ++i) {
    Threads.emplace_back([&, i] { Answers[i] = Clients[i]->Apply(std::move(Deltas[i]), 0); });
  }
  for (auto& Thread : Threads) Thread.join();
  ASSERT_EQ(Answers[0].ErrorCount + Answers[1].ErrorCount, 1);
  const int Winner = Answers[0].ErrorCount == 0 ? 0 : 1;
  EXPECT_EQ(ErrorRows(Answers[1 - Winner].Errors), (ApplyLines{std::string("2|") + kChanged + "|3"}));
  ApplyLines Expected = kInitial;
  Expected[2] = Winner == 0 ? "3|Caf\u00e9|12.5|21|0" : "3|Caf\u00e9|12.5|22|0";
  EXPECT_EQ(Table(), Expected);
}

TEST_F(ApplyUpdatesTest, ADeltaNamingAnotherTableOrColumnOrWithALimitBelowMinusOneIsRefusedWhole) {
  TApplyClient Client(Port());
  // The fetched list, its columns renamed or given other origins, as a hostile client
  // might send it.
  const struct {
    const char* Name;
    std::function<void(TPacketLevel&)> Change;
    std::string Message;
  } Cases[] = {
      {"field", [](TPacketLevel& L) { L.Columns[4].Name = "inativo"; }, "the dataset has no field 'inativo'"},
      {"origin", [](TPacketLevel& L) {
         const TAttributeValue Value = TextAttribute("tabuser.senha");
         for (auto& A : L.Columns[1].Attributes) {
           if (A.Name == "ORIGIN") A = {A.Name, Value.TypeWord | TTypeWord::InDelta, Value.Bytes};
         }
       }, "the delta gives another origin for field 'produto'"},
      {"table", [](TPacketLevel& L) {
         const TAttributeValue Value = TextAttribute("tabuser");
         L.Attributes.push_back({"TABLE_NAME", Value.TypeWord | TTypeWord::InDelta, Value.Bytes});
       }, "the delta names another table: 'tabuser'"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TPacketLevel Level;
    for (const TPacketColumn& Column : Client.List().Level().Columns) {
      TPacketColumn& Copy = Level.Columns.emplace_back();
      Copy.Name = Column.Name;
      Copy.TypeWord = Column.TypeWord;
      Copy.AttributeBits = Column.AttributeBits;
      Copy.Attributes = Column.Attributes;
    }
    Level.Attributes = Client.List().Level().Attributes;
    Case.Change(Level);
    TDSWriter Writer;
    ASSERT_EQ(Writer.BeginPacket(1, static_cast<std::int32_t>(Level.Columns.size())), 0);
    PutLevelColumns(Writer, Level, true);
    // A deleted row: whatever it matches would go.
    const TDSCursor Row = Client.RowOf(1);
    const std::uint8_t Deleted = 3;
    ASSERT_EQ(Writer.PutValue(0, 1, &Deleted), 0);
    for (std::size_t Slot = 0; Slot < Level.Columns.size(); ++Slot) PutPacketValue(Writer, Row.Value(Slot));
    std::vector<std::uint8_t> Packet;
    ASSERT_EQ(Writer.TakePacket(Packet), 0);
    const TDBXError Error = ErrorOf([&] { Client.Apply(Packet, kNoLimit); });
    EXPECT_EQ(Error.Message(), "Remote error: Changes refused: " + Case.Message);
    EXPECT_EQ(Table(), kInitial);
  }
  // A limit below -1 would apply nothing and answer that nothing failed.
  EXPECT_EQ(ErrorOf([&] { Client.Apply(PriceDelta(Client, {{1, 30}}), -2); }).Message(),
            "Remote error: MaxErrors must be -1 (no limit), 0 or more");
  EXPECT_EQ(Table(), kInitial);
}

TEST_F(ApplyUpdatesTest, ARowRequestBringsTheRowAsTheTableHoldsItNow) {
  TApplyClient Client(Port());
  Execute("update tabest1 set produto = 'Caf\u00e9 torrado', precovenda = 19.5 where codigo = 3");
  TDSWriter Writer;
  ASSERT_EQ(Writer.BeginPacket(1, 5), 0);
  PutLevelColumns(Writer, Client.List().Level(), false);
  const TDSCursor Row = Client.RowOf(3);
  const std::uint8_t Unmodified = 0;
  ASSERT_EQ(Writer.PutValue(0, 1, &Unmodified), 0);
  for (std::size_t Slot = 0; Slot < 5; ++Slot) PutPacketValue(Writer, Row.Value(Slot));
  std::vector<std::uint8_t> Packet;
  ASSERT_EQ(Writer.TakePacket(Packet), 0);
  const TDSVariant Answer = Client.RowRequest(Packet, kFetchRecord);
  const TDSBase Fresh(std::get<std::vector<std::uint8_t>>(Answer.Value));
  const TDSCursor Refreshed(Fresh);
  ASSERT_EQ(Fresh.RecordCount(), 1u);
  std::string Line;
  for (const TPacketColumn& Column : Fresh.Level().Columns) {
    Line += (Line.empty() ? "" : "|") + *ValueText(Column.TypeWord, Refreshed.Value(Column).Data);
  }
  EXPECT_EQ(Line, "3|Caf\u00e9 torrado|12.5|19.5|0");
  // A row that is gone is an error, not an empty answer.
  Execute("delete from tabest1 where codigo = 3");
  EXPECT_EQ(ErrorOf([&] { Client.RowRequest(Packet, kFetchRecord); }).Message(), std::string("Remote error: ") + kChanged);
}

// A table whose only column is a memo (a blob, never compared): a delete has nothing to
// find its record by. The provider over a query of the engine, in process.
TEST(ApplyUpdatesWithoutWhereFields, ADeleteFailsItsRowAndTheTableKeepsIt) {
  TTempFolder Folder;
  TSession Session;
  const std::string File = (Folder.Path() / TDatabaseFiles::kDatabaseFileName).string();
  {
    TSqliteConnection Connection(File, TSqliteConnection::TOpenMode::CreateIfMissing);
    Connection.Execute("create table notas (texto text); insert into notas values ('lembrete')");
  }
  TQuery Query(Session);
  Query.SetDatabaseName(Folder.Path().string());
  Query.SQL().Add("select texto from notas");
  TQueryProviderSupport Support(Query);
  TProviderDataModule Module;
  TDataSetProvider Provider(&Module, "dsNotas");
  Provider.SetDataSet(&Query, &Support);
  std::int32_t RecsOut = 0, ErrorCount = 0;
  TDSVariant Params, Owner;
  const TDSVariant Packet = Provider.GetRecords(kApplyAll, RecsOut, 0, u"", Params, Owner);
  const TDSBase List(std::get<std::vector<std::uint8_t>>(Packet.Value));
  TDeltaWriter Delta(List);
  Delta.AddDeleted(TDSCursor(List));
  const TDSVariant Errors = Provider.ApplyUpdates(TDSVariant(Delta.Take()), kNoLimit, ErrorCount, Owner);
  EXPECT_EQ(ErrorCount, 1);
  const TDSBase ErrorPacket(std::get<std::vector<std::uint8_t>>(Errors.Value));
  const TDSCursor Row(ErrorPacket);
  const TPacketColumn& Message = *ErrorPacket.Level().FindColumn("ERROR_MESSAGE");
  EXPECT_EQ(*ValueText(Message.TypeWord, Row.Value(Message).Data), "Unable to find record.  No key specified");
  Query.Open();
  EXPECT_EQ(Query.RecordCount(), 1);
}

// Blobs of a row request: with foBlobs the blob values the request left null come as the
// table holds them, in the form the provider writes them (a wide memo in UTF-16); the
// record alone leaves them as they came. A memo sent back is stored as its text.
TEST(RowRequestAndMemos, BlobsComeOnlyWithTheBlobsOptionAndAMemoTravelsAsItsTextBothWays) {
  TTempFolder Folder;
  TSession Session;
  {
    TSqliteConnection Connection((Folder.Path() / TDatabaseFiles::kDatabaseFileName).string(),
                                 TSqliteConnection::TOpenMode::CreateIfMissing);
    Connection.Execute("create table notas (id integer primary key, titulo varchar(20), texto text);"
                       "insert into notas values (7, 'antes', 'um texto longo')");
  }
  TQuery Query(Session);
  Query.SetDatabaseName(Folder.Path().string());
  Query.SQL().Add("select id, titulo, texto from notas");
  TQueryProviderSupport Support(Query);
  TProviderDataModule Module;
  TDataSetProvider Provider(&Module, "dsNotas");
  Provider.SetDataSet(&Query, &Support);
  std::int32_t RecsOut = 0;
  TDSVariant Params, Owner;
  const TDSBase List(std::get<std::vector<std::uint8_t>>(Provider.GetRecords(kApplyAll, RecsOut, 0, u"", Params, Owner).Value));
  // The row as a client keeps it with the memo not fetched, after the title changed.
  TDSWriter Writer;
  ASSERT_EQ(Writer.BeginPacket(1, 3), 0);
  PutLevelColumns(Writer, List.Level(), false);
  const TDSCursor Row(List);
  const std::uint8_t Unmodified = 0;
  ASSERT_EQ(Writer.PutValue(0, 1, &Unmodified), 0);
  PutPacketValue(Writer, Row.Value(0));
  PutPacketValue(Writer, Row.Value(1));
  ASSERT_EQ(Writer.PutValue(1, 0, nullptr), 0);
  std::vector<std::uint8_t> Request;
  ASSERT_EQ(Writer.TakePacket(Request), 0);
  TSqliteConnection((Folder.Path() / TDatabaseFiles::kDatabaseFileName).string(), TSqliteConnection::TOpenMode::ExistingFile)
      .Execute("update notas set titulo = 'depois'");

  // The memo as the provider writes it (UTF-16 for a wide memo).
  const TPacketValue& Memo = Row.Value(2);
  ASSERT_EQ(Memo.State, TValueState::Value);
  const std::string Written(Memo.Data.begin(), Memo.Data.end());
  const struct {
    std::int32_t Options;
    std::string Expected;  // titulo|texto
  } Cases[] = {{1, "depois|null"}, {2, "antes|" + Written}, {3, "depois|" + Written}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Options);
    const TDSVariant Answer = Provider.RowRequest(TDSVariant(Request), Case.Options, Owner);
    const TDSBase Fresh(std::get<std::vector<std::uint8_t>>(Answer.Value));
    const TDSCursor Refreshed(Fresh);
    std::string Line;
    for (std::size_t Slot = 1; Slot < 3; ++Slot) {
      const TPacketColumn& Column = Fresh.Level().Columns[Slot];
      const TPacketValue& Value = Refreshed.Value(Slot);
      std::string Text = "null";
      if (Value.State == TValueState::Value) {
        Text = Column.BaseType() == TPacketType::Bytes ? std::string(Value.Data.begin(), Value.Data.end())
                                                       : *ValueText(Column.TypeWord, Value.Data);
      }
      Line += (Line.empty() ? "" : "|") + Text;
    }
    EXPECT_EQ(Line, Case.Expected);
  }

  // A memo sent back is stored as the text it carries, not as its bytes.
  const TDSBase Now(std::get<std::vector<std::uint8_t>>(Provider.GetRecords(kApplyAll, RecsOut, 0, u"", Params, Owner).Value));
  TDeltaWriter Delta(Now);
  Delta.AddModified(TDSCursor(Now), {{2, TDeltaValue::Of(WideTextValue("novo texto"))}});
  std::int32_t ErrorCount = 0;
  EXPECT_TRUE(Provider.ApplyUpdates(TDSVariant(Delta.Take()), 0, ErrorCount, Owner).IsNull());
  TSqliteConnection Check((Folder.Path() / TDatabaseFiles::kDatabaseFileName).string(),
                          TSqliteConnection::TOpenMode::ExistingFile);
  TSqliteStatement Stored;
  std::string_view Tail;
  ASSERT_EQ(Stored.Prepare(Check, "select texto, typeof(texto) from notas", Tail), 0);
  ASSERT_TRUE(Stored.Step());
  EXPECT_EQ(std::get<std::string>(Stored.ColumnValue(0)), "novo texto");
  EXPECT_EQ(std::get<std::string>(Stored.ColumnValue(1)), "text");
}

}  // namespace
}  // namespace tavrin::testing
