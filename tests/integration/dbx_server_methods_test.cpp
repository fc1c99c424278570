// Server methods end to end through real loopback sockets: a real method registry with
// the test server classes behind the server, called by the client library (or by raw
// bytes where the client library has no way to send something, such as a table).

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/connection.h"
#include "dbxstream/command_types.h"
#include "dbxstream/row_value_codec.h"
#include "dbx_test_server.h"
#include "server/methods/server_method_provider.h"
#include "vocabulary/variant_stream.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/sql_timestamp.h"
#include "server/methods/test_server_classes.h"
#include "support/error_of.h"
#include "transport/tcp_client_channel.h"
#include "transport/test_client.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;


// The registry of the test classes behind a real server. The server is declared last:
// it stops (and its connections go) before the registry closes.
struct TMethodServer {
  TMethodServer() {
    for (auto* Component : {Types.get(), Session.get(), Invocation.get(), Shared.get(), Module.get(), Odd.get()}) {
      Registry.AddServerClass(*Component);
    }
    Registry.Open();
  }
  TLifeCounters SessionCounters, InvocationCounters, SharedCounters, OddCounters;
  const TDSClassDeclaration SessionClass = CountedDeclaration("TLifeSession", SessionCounters);
  const TDSClassDeclaration InvocationClass = CountedDeclaration("TLifeInvocation", InvocationCounters);
  const TDSClassDeclaration SharedClass = CountedDeclaration("TLifeServer", SharedCounters);
  const TDSClassDeclaration OddClass = CountedDeclaration("TLifeOdd", OddCounters);
  std::unique_ptr<TDSServerClass> Types = ServerClassOf(TypesDeclaration());
  std::unique_ptr<TDSServerClass> Session = ServerClassOf(SessionClass, "Session");
  std::unique_ptr<TDSServerClass> Invocation = ServerClassOf(InvocationClass, "Invocation");
  std::unique_ptr<TDSServerClass> Shared = ServerClassOf(SharedClass, "Server");
  std::unique_ptr<TDSServerClass> Module = ServerClassOf(TestModuleDeclaration());
  std::unique_ptr<TDSServerClass> Odd = ServerClassOf(OddClass, "session");
  TDSServerMethodProvider Registry;
  std::unique_ptr<TDbxTestServer> Server = std::make_unique<TDbxTestServer>(Registry);

  std::uint16_t Port() const { return Server->Port(); }
};

struct TMethodsClient {
  explicit TMethodsClient(std::uint16_t Port) : Channel("127.0.0.1", Port, true), Connection(Channel) {
    Connection.Connect({});
  }
  std::int32_t Prepare(const std::u16string& Text) { return Connection.Prepare(TDSCommandTypes::kServerMethod, Text).CommandHandle; }

  TDBXTcpClientChannel Channel;
  TDBXClientConnection Connection;
};

// Bytes a holder's value takes in a row: equal bytes, equal values.
std::string RowBytes(const TDBXValueType& Type, const TDBXValue& Value) {
  TDBXRowBuffer Row;
  WriteRowValue(Row, Type, Value);
  const auto Bytes = Row.WrittenBytes();
  return {Bytes.begin(), Bytes.end()};
}

// The value at Ordinal of the reply's parameter row, in its row form.
std::string ReplyBytes(TDBXClientConnection& Connection, const TDBXValueType& Type, std::int32_t Ordinal) {
  TDBXValueType Described = Type;
  auto Value = CreateValueHolder(Described);
  Connection.ParameterRow().GoToField(Ordinal);
  ReadRowValue(Connection.ParameterRow(), Type, *Value);
  return RowBytes(Type, *Value);
}

std::string NullBytes() {
  TDBXRowBuffer Row;
  Row.WriteNull();
  const auto Bytes = Row.WrittenBytes();
  return {Bytes.begin(), Bytes.end()};
}

std::int32_t IntResult(TDBXClientConnection& Connection, std::int32_t Ordinal) {
  Connection.ParameterRow().GoToField(Ordinal);
  return Connection.ParameterRow().ReadInt32();
}

template <typename THolder>
THolder& As(TDBXWritableValue& Value) {
  return dynamic_cast<THolder&>(Value);
}

// --- Data types ---------------------------------------------------------------------------

struct TTypeCase {
  const char* Suffix;  // of the method TTypes.Swap_<Suffix>
  std::int32_t DataType;
  // Sets A (Which 0) or B (Which 1); leaving a holder untouched sends a null.
  std::function<void(TDBXWritableValue&, int Which)> Set;
};

TDSVariant VariantOf(std::vector<std::uint8_t> Bytes) {
  TDSVariant V;
  V.Value = std::move(Bytes);
  return V;
}

std::vector<TTypeCase> TypeCases() {
  const auto Pick = [](auto First, auto Second) {
    return [First, Second](int Which) { return Which == 0 ? First : Second; };
  };
  const auto Variants = [](int Which) {
    TDSVariant Text;
    Text.Value = std::u16string(u"texto");
    return Which == 0 ? VariantOf({1, 2, 3, 0, 255}) : Text;
  };
  return {
      {"Ansi", 1, [=](auto& V, int W) { As<TDBXAnsiStringValue>(V).SetAnsiString(Pick("hello", "")(W)); }},
      {"Date", 2, [=](auto& V, int W) {
         As<TDBXDateValue>(V).SetDate(static_cast<std::int32_t>(Pick(EncodeDbxDate(2024, 2, 29), EncodeDbxDate(1899, 1, 1))(W)));
       }},
      {"Boolean", 4, [=](auto& V, int W) { As<TDBXBooleanValue>(V).SetBoolean(Pick(true, false)(W)); }},
      {"SmallInt", 5, [=](auto& V, int W) { As<TDBXInt16Value>(V).SetInt16(Pick(std::int16_t{-32768}, std::int16_t{123})(W)); }},
      {"Integer", 6, [=](auto& V, int W) {
         As<TDBXInt32Value>(V).SetInt32(Pick(std::numeric_limits<std::int32_t>::min(), 7)(W));
       }},
      {"Double", 7, [=](auto& V, int W) { As<TDBXDoubleValue>(V).SetDouble(Pick(-1.5e300, 0.1)(W)); }},
      {"Time", 10, [=](auto& V, int W) {
         As<TDBXTimeOfDayValue>(V).SetTime(static_cast<std::int32_t>(Pick(EncodeDbxTime(23, 59, 59, 999), std::int64_t{0})(W)));
       }},
      {"DateTime", 11, [=](auto& V, int W) {
         As<TDBXTimeStampValue>(V).SetTimeStamp(
             Pick(TSQLTimeStamp{1899, 12, 29, 6, 0, 0, 0}, TSQLTimeStamp{2031, 12, 31, 23, 59, 59, 999})(W));
       }},
      {"Word", 12, [=](auto& V, int W) { As<TDBXUInt16Value>(V).SetUInt16(Pick(std::uint16_t{65535}, std::uint16_t{1})(W)); }},
      {"Int64", 18, [=](auto& V, int W) {
         As<TDBXInt64Value>(V).SetInt64(Pick(std::numeric_limits<std::int64_t>::min(), std::int64_t{42})(W));
       }},
      {"Currency", 25, [=](auto& V, int W) { As<TDBXBcdValue>(V).SetBcd(Pick("-922337203685477.5808", "0.0001")(W)); }},
      {"String", 26, [=](auto& V, int W) {
         As<TDBXWideStringValue>(V).SetWideString(Pick(u"ol\u00e9 \u0100 \U0001F600", u"")(W));
       }},
      {"Single", 27, [=](auto& V, int W) { As<TDBXSingleValue>(V).SetSingle(Pick(1.5f, -0.25f)(W)); }},
      {"ShortInt", 28, [=](auto& V, int W) { As<TDBXInt8Value>(V).SetInt8(Pick(std::int8_t{-128}, std::int8_t{5})(W)); }},
      {"Byte", 29, [=](auto& V, int W) { As<TDBXUInt8Value>(V).SetUInt8(Pick(std::uint8_t{255}, std::uint8_t{0})(W)); }},
      {"Variant", 35, [=](auto& V, int W) { As<TDBXStreamValue>(V).SetStream(EncodeVariantStream(Variants(W))); }},
      {"Json", 37, [=](auto& V, int W) {
         As<TDBXJSONValue>(V).SetJSONValue(W == 0 ? TJSONValue::parse(R"({"a":[1,"b",null]})") : TJSONValue("text"));
       }},
      {"Stream", 33, [=](auto& V, int W) {
         std::vector<std::uint8_t> Bytes(W == 0 ? 300 : 0);
         for (std::size_t i = 0; i < Bytes.size(); ++i) Bytes[i] = static_cast<std::uint8_t>(i * 7);
         As<TDBXStreamValue>(V).SetBytes(std::move(Bytes));
       }},
      // A null object crosses as a null; B comes back as it went in.
      {"Stream", 33, [=](auto& V, int W) {
         if (W == 1) As<TDBXStreamValue>(V).SetBytes({9, 8});
       }},
      {"Json", 37, [=](auto& V, int W) {
         if (W == 1) As<TDBXJSONValue>(V).SetJSONValue(TJSONValue::parse("[]"));
       }},
  };
}

TEST(DbxServerMethods, EveryDataTypeCrossesInAndOutUnchanged) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  for (const TTypeCase& Case : TypeCases()) {
    SCOPED_TRACE(Case.Suffix);
    const TDBXPrepareReply Prepared =
        c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTypes.Swap_" + ToUtf16(Case.Suffix));
    ASSERT_EQ(Prepared.Parameters.size(), 4u);
    const std::int32_t Directions[] = {1, 3, 2, 4};
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(Prepared.Parameters[i].DataType(), Case.DataType) << i;
      EXPECT_EQ(Prepared.Parameters[i].ParameterDirection(), Directions[i]) << i;
    }
    const TDBXValueType& Type = Prepared.Parameters[0];
    // Fresh holders each time: a stream is read up as it is written.
    const auto Value = [&](int Which) {
      TDBXValueType Described = Type;
      auto Holder = CreateValueHolder(Described);
      Case.Set(*Holder, Which);
      return Holder;
    };
    TDBXRowBuffer& Row = c.Connection.BeginParameters();
    WriteRowValue(Row, Type, *Value(0));
    WriteRowValue(Row, Type, *Value(1));
    Row.WriteNull();
    Row.WriteNull();
    ASSERT_TRUE(c.Connection.Execute(Prepared.CommandHandle).HasParameterRow);
    EXPECT_EQ(ReplyBytes(c.Connection, Type, 0), NullBytes()) << "an input comes back null";
    EXPECT_EQ(ReplyBytes(c.Connection, Type, 1), RowBytes(Type, *Value(0))) << "in/out";
    EXPECT_EQ(ReplyBytes(c.Connection, Type, 2), RowBytes(Type, *Value(0))) << "out";
    EXPECT_EQ(ReplyBytes(c.Connection, Type, 3), RowBytes(Type, *Value(1))) << "result";
    c.Connection.CommandClose(Prepared.CommandHandle);
  }
}

TEST(DbxServerMethods, ConversionsGiveTheMethodTheValuesItsTypesMean) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  const std::int32_t Serial = c.Prepare(u"TTypes.DaySerial");
  c.Connection.BeginParameters().WriteTimeStamp({1899, 12, 31, 12, 0, 0, 0});
  c.Connection.ParameterRow().WriteNull();
  c.Connection.Execute(Serial);
  c.Connection.ParameterRow().GoToField(1);
  EXPECT_EQ(c.Connection.ParameterRow().ReadDoubleValue(0), 1.5);

  const std::int32_t Scaled = c.Prepare(u"TTypes.CurrencyScaled");
  c.Connection.BeginParameters().WriteBcd("-12.34565");
  c.Connection.ParameterRow().WriteNull();
  c.Connection.Execute(Scaled);
  c.Connection.ParameterRow().GoToField(1);
  EXPECT_EQ(c.Connection.ParameterRow().ReadInt64(), -123457);

  // A connection parameter gets the handler's database connection: none here.
  const std::int32_t Connection = c.Prepare(u"TTypes.HasConnection");
  c.Connection.BeginParameters().WriteNull();
  c.Connection.ParameterRow().WriteNull();
  c.Connection.Execute(Connection);
  c.Connection.ParameterRow().GoToField(1);
  EXPECT_FALSE(c.Connection.ParameterRow().ReadBoolean());
}

TEST(DbxServerMethods, AValueParameterHandsTheMethodTheHolderItself) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  const TDBXPrepareReply Bump = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTypes.Bump");
  ASSERT_EQ(Bump.Parameters.size(), 1u);
  EXPECT_EQ(Bump.Parameters[0].ParameterDirection(), 3);
  EXPECT_TRUE(Bump.Parameters[0].ValueParameter());
  c.Connection.BeginParameters().WriteInt32(41);
  ASSERT_TRUE(c.Connection.Execute(Bump.CommandHandle).HasParameterRow);
  EXPECT_EQ(IntResult(c.Connection, 0), 42);

  const std::int32_t Reverse = c.Prepare(u"TTypes.Reverse");
  c.Connection.BeginParameters().WriteBytes(std::vector<std::uint8_t>{1, 2, 3});
  ASSERT_TRUE(c.Connection.Execute(Reverse).HasParameterRow);
  c.Connection.ParameterRow().GoToField(0);
  EXPECT_EQ(c.Connection.ParameterRow().ReadBytes(), (std::vector<std::uint8_t>{3, 2, 1}));
}

// --- Tables -------------------------------------------------------------------------------

std::vector<std::int32_t> ReadIds(TDBXClientTable& Table, std::size_t NameLength = 0) {
  std::vector<std::int32_t> Ids;
  while (Table.Next()) {
    Table.Row().GoToField(0);
    Ids.push_back(Table.Row().ReadInt32());
    if (NameLength > 0) {
      Table.Row().GoToField(1);
      EXPECT_EQ(Table.Row().ReadString(), TTestDataSet::NameOf(Ids.back(), NameLength)) << Ids.back();
    }
  }
  return Ids;
}

void WriteRowsArguments(TDBXClientConnection& Connection, std::int32_t Count, std::int32_t NameLength) {
  TDBXRowBuffer& Row = Connection.BeginParameters();
  Row.WriteInt32(Count);
  Row.WriteInt32(NameLength);
  Row.WriteNull();
}

TEST(DbxServerMethods, AReturnedDataSetArrivesOverSeveralBlocksAndGoesAtTheNextCall) {
  constexpr int kRows = 300;
  constexpr std::size_t kNameLength = 500;
  TMethodServer S;
  TMethodsClient c(S.Port());
  const std::int32_t Rows = c.Prepare(u"TTypes.Rows");
  WriteRowsArguments(c.Connection, kRows, kNameLength);
  TDBXExecuteReply Reply = c.Connection.Execute(Rows);
  ASSERT_EQ(Reply.Tables.size(), 1u);
  std::vector<std::int32_t> Expected(kRows);
  for (int i = 0; i < kRows; ++i) Expected[static_cast<std::size_t>(i)] = i + 1;
  EXPECT_EQ(ReadIds(*Reply.Tables[0], kNameLength), Expected);
  EXPECT_GE(Reply.Tables[0]->BlocksRead(), 3);

  // Read in full, or left half read: either way the next call starts without it.
  for (const bool ReadAll : {true, false}) {
    SCOPED_TRACE(ReadAll ? "read in full" : "half read");
    WriteRowsArguments(c.Connection, kRows, kNameLength);
    Reply = c.Connection.Execute(Rows);
    if (ReadAll) ReadIds(*Reply.Tables[0]);
    WriteRowsArguments(c.Connection, 1, 1);
    Reply = c.Connection.Execute(Rows);
    EXPECT_EQ(TTypesServer::DataSetsAliveAtRows, 0);
  }
  // Closing the command frees the last one; the next request's reply shows it is done.
  c.Connection.CommandClose(Rows);
  c.Prepare(u"TTypes.Nothing");
  EXPECT_EQ(TTestDataSet::Live, 0);
}

TEST(DbxServerMethods, OutTablesParameterListsAndReadersComeBackAsTables) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  const std::int32_t OutRows = c.Prepare(u"TTypes.OutRows");
  TDBXRowBuffer& Row = c.Connection.BeginParameters();
  Row.WriteInt32(4);
  Row.WriteNull();
  Row.WriteNull();
  TDBXExecuteReply Reply = c.Connection.Execute(OutRows);
  ASSERT_TRUE(Reply.HasParameterRow);
  EXPECT_EQ(IntResult(c.Connection, 1), 1) << "the out table's slot names it: row handle 1";
  EXPECT_EQ(IntResult(c.Connection, 2), 4);
  ASSERT_EQ(Reply.Tables.size(), 1u);
  EXPECT_EQ(ReadIds(*Reply.Tables[0], 2), (std::vector<std::int32_t>{1, 2, 3, 4}));

  const std::int32_t Params = c.Prepare(u"TTypes.ParamsOut");
  c.Connection.BeginParameters().WriteNull();
  Reply = c.Connection.Execute(Params);
  ASSERT_EQ(Reply.Tables.size(), 1u);
  TDBXClientTable& Table = *Reply.Tables[0];
  ASSERT_EQ(Table.ColumnCount(), 2);
  EXPECT_EQ(Table.Columns()[0].Name(), "A");
  EXPECT_EQ(Table.Columns()[1].DataType(), TDBXDataTypes::WideStringType);
  ASSERT_TRUE(Table.Next());
  Table.Row().GoToField(0);
  EXPECT_EQ(Table.Row().ReadInt32(), 7);
  Table.Row().GoToField(1);
  EXPECT_EQ(Table.Row().ReadString(), u"x");
  EXPECT_FALSE(Table.Next());

  const std::int32_t Reader = c.Prepare(u"TTypes.RowsReader");
  c.Connection.BeginParameters().WriteInt32(3);
  c.Connection.ParameterRow().WriteNull();
  Reply = c.Connection.Execute(Reader);
  ASSERT_EQ(Reply.Tables.size(), 1u);
  EXPECT_EQ(ReadIds(*Reply.Tables[0], 3), (std::vector<std::int32_t>{1, 2, 3}));
}

// A table sent by the client as a parameter: the client library sends none, so these go
// as raw requests. The table has rows (ID: 10, 20, 30) and no row handle (-1), so the
// server has no reader close to send back.
std::string ExecuteWithTable(std::int32_t Handle) {
  const std::string Arguments = testing::RowOf([](TDBXRowBuffer& R) {
    R.WriteTableHandle(1);
    R.WriteNull();
  });
  const std::string Rows = testing::RowOf([](TDBXRowBuffer& R) {
    for (const std::int32_t Id : {10, 20, 30}) {
      R.WriteInt32(Id);
      R.WriteString(u"n");
    }
  });
  return R"({"method":"execute","params":[{"handle":[)" + std::to_string(Handle) + R"(]},{"data":[)" +
         std::to_string(Arguments.size()) + "," + Arguments + R"(]},{"table":[{"fields":[)" +
         std::to_string(Handle) + R"(,false,-1,0,true]},{"columns":[2,["ID",6,0,0,0,0,0],["NOME",26,0,0,0,0,0]]}]})" +
         R"({"data":[-)" + std::to_string(Rows.size()) + "," + Rows + "]}]}";
}

std::string IntReply(std::int32_t Value) {
  const std::string Row = testing::RowOf([Value](TDBXRowBuffer& R) {
    R.WriteNull();
    R.WriteInt32(Value);
  });
  return R"({"result":[{"data":[)" + std::to_string(Row.size()) + "," + Row + "]}]}";
}

TEST(DbxServerMethods, ATableTheClientSendsReachesTheMethodAsDeclared) {
  const struct {
    const char* Alias;
    const char* Described;  // subtype, direction ... name of the table parameter
    std::int32_t Result;
  } Cases[] = {
      // TDataSet: 1000 per record plus its ID.
      {"TTypes.CountRows", R"(0,1,0,0,"Data")", 3060},
      // TDBXReader, a class outside the known objects (subtype 40): the same, read directly.
      {"TTypes.ReaderRows", R"(40,1,0,0,"Reader")", 3060},
      // TParams: the values of the first row; the text counts 0.
      {"TTypes.SumParams", R"(0,1,0,0,"Values")", 10},
  };
  TMethodServer S;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Alias);
    TTestClient Client;
    ASSERT_TRUE(Client.Connect(S.Port()));
    Client.Send(std::string(kConnect) + Prepare("Corvane.ServerMethod", Case.Alias));
    const std::string Prepared = std::string(kConnectReply) +
                                 R"({"result":[{"handle":[0]},{"fields":[0,false]},{"parameters":[2,[23,)" +
                                 Case.Described + R"(,0,0,0],[6,0,4,0,0,"ReturnParameter",0,0,0]]}]})";
    ASSERT_EQ(Client.Read(Prepared.size()), Prepared);
    const std::string Executed = IntReply(Case.Result);
    Client.Send(ExecuteWithTable(0));
    EXPECT_EQ(Client.Read(Executed.size()), Executed);
    // The command stays usable: the next execute of the same handle is served alike.
    Client.Send(ExecuteWithTable(0));
    EXPECT_EQ(Client.Read(Executed.size()), Executed);
    EXPECT_TRUE(Client.Quiet(50ms));
  }
}

// --- Finding methods ----------------------------------------------------------------------

TEST(DbxServerMethods, TheAliasIsFoundInAnyLetterCaseAndUnknownOnesAreRefused) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  for (const std::u16string Alias : {u"TTypes.Add", u"ttypes.add", u"TTYPES.ADD"}) {
    SCOPED_TRACE(ToUtf8(Alias));
    const std::int32_t Handle = c.Prepare(Alias);
    TDBXRowBuffer& Row = c.Connection.BeginParameters();
    Row.WriteInt32(20);
    Row.WriteInt32(22);
    Row.WriteNull();
    c.Connection.Execute(Handle);
    EXPECT_EQ(IntResult(c.Connection, 2), 42);
  }
  const struct {
    std::u16string Text;
    std::int32_t Code;
    std::string Message;
  } Refusals[] = {
      {u"TTypes.Nope", 105, "Remote error: TTypes.Nope method not found in the server method list"},
      {u"Nope.Add(1)", 105, "Remote error: Nope.Add method not found in the server method list"},
      {u"TTypes.Nothing(1)", 8, "Remote error: Invalid Ordinal:  0"},
      {u"TTypes.Add(1, 2, 3)", 8, "Remote error: Invalid Ordinal:  2"},
      {u"TLifeOdd.Id", 0, "Remote error: Unknown LifeCycle:  session"},
  };
  for (const auto& Refusal : Refusals) {
    SCOPED_TRACE(ToUtf8(Refusal.Text));
    const TDBXError Error = ErrorOf([&] { c.Prepare(Refusal.Text); });
    EXPECT_EQ(Error.ErrorCode(), Refusal.Code);
    EXPECT_EQ(Error.Message(), Refusal.Message);
  }
  EXPECT_EQ(S.OddCounters.Created, 0);
  EXPECT_EQ(c.Prepare(u"TTypes.Nothing"), 3) << "refused commands keep no handle";
}

TEST(DbxServerMethods, LiteralParametersRunTheMethodWithoutValuesFromTheRow) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  const TDBXPrepareReply Prepared = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTypes.Concat(\"ana\", \"s3nh@\")");
  ASSERT_EQ(Prepared.Parameters.size(), 3u);
  EXPECT_TRUE(Prepared.Parameters[0].Literal());
  EXPECT_TRUE(Prepared.Parameters[1].Literal());
  EXPECT_FALSE(Prepared.Parameters[2].Literal());
  for (int Run = 0; Run < 2; ++Run) {
    ASSERT_TRUE(c.Connection.Execute(Prepared.CommandHandle).HasParameterRow);
    c.Connection.ParameterRow().GoToField(2);
    EXPECT_EQ(c.Connection.ParameterRow().ReadString(), u"anas3nh@") << Run;
  }
}

// --- Failures -----------------------------------------------------------------------------

TEST(DbxServerMethods, AFailingMethodLeavesItsCommandUsable) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  const std::int32_t Handle = c.Prepare(u"TTypes.Fail");
  const auto Run = [&](bool Raise) {
    TDBXRowBuffer& Row = c.Connection.BeginParameters();
    Row.WriteBoolean(Raise);
    Row.WriteNull();
    return c.Connection.Execute(Handle);
  };
  const TDBXError Error = ErrorOf([&] { Run(true); });
  EXPECT_EQ(Error.ErrorCode(), 5);
  EXPECT_EQ(Error.Message(), "Remote error: asked to fail");
  ASSERT_TRUE(Run(false).HasParameterRow);
  EXPECT_EQ(IntResult(c.Connection, 1), 2) << "both calls ran on the connection's one instance";
}

// --- Life cycles --------------------------------------------------------------------------

std::int32_t RunId(TMethodsClient& c, std::int32_t Handle) {
  c.Connection.BeginParameters().WriteNull();
  c.Connection.Execute(Handle);
  return IntResult(c.Connection, 0);
}

TEST(DbxServerLifeCycles, ASessionInstanceServesOneConnectionAndGoesWithIt) {
  TMethodServer S;
  auto First = std::make_unique<TMethodsClient>(S.Port());
  TMethodsClient Second(S.Port());
  const std::int32_t A = First->Prepare(u"TLifeSession.Id");
  const std::int32_t B = Second.Prepare(u"TLifeSession.Id");
  const std::int32_t FirstId = RunId(*First, A);
  EXPECT_EQ(RunId(*First, A), FirstId);
  EXPECT_EQ(RunId(*First, First->Prepare(u"TLifeSession.Id")), FirstId);
  EXPECT_NE(RunId(Second, B), FirstId);
  EXPECT_EQ(S.SessionCounters.Created, 2);

  // Dropped without a disconnect: the connection's instance goes all the same.
  First.reset();
  EXPECT_TRUE(Eventually([&] { return S.SessionCounters.Destroyed == 1; }));
  Second.Connection.Disconnect();
  EXPECT_TRUE(Eventually([&] { return S.SessionCounters.Destroyed == 2; }));
}

TEST(DbxServerLifeCycles, AConnectionThatCallsNothingMakesNoInstance) {
  TMethodServer S;
  {
    TMethodsClient c(S.Port());
    c.Connection.Disconnect();
  }
  EXPECT_TRUE(Eventually([&] { return S.Server->Transport().ConnectionCount() == 0; }));
  EXPECT_EQ(S.SessionCounters.Created + S.InvocationCounters.Created + S.SharedCounters.Created, 0);
  EXPECT_EQ(TTypesServer::Live, 0);
}

TEST(DbxServerLifeCycles, AnInvocationInstanceServesOneExecute) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  const std::int32_t Handle = c.Prepare(u"TLifeInvocation.Id");
  std::vector<std::int32_t> Ids;
  for (int i = 0; i < 3; ++i) {
    Ids.push_back(RunId(c, Handle));
    // Destroyed right after the reply is written, so the client may be told first.
    EXPECT_TRUE(Eventually([&] { return S.InvocationCounters.Live() == 0; }));
  }
  EXPECT_NE(Ids[0], Ids[1]);
  EXPECT_NE(Ids[1], Ids[2]);
  EXPECT_EQ(S.InvocationCounters.Created, 3);
}

TEST(DbxServerLifeCycles, AServerInstanceIsSharedAndLastsUntilTheServerStops) {
  TMethodServer S;
  {
    TMethodsClient First(S.Port()), Second(S.Port());
    EXPECT_EQ(RunId(First, First.Prepare(u"TLifeServer.Id")), RunId(Second, Second.Prepare(u"TLifeServer.Id")));
  }
  EXPECT_EQ(S.SharedCounters.Created, 1);
  S.Server.reset();
  EXPECT_EQ(S.SharedCounters.Live(), 1);
  S.Registry.Close();
  EXPECT_EQ(S.SharedCounters.Destroyed, 1);
}

TEST(DbxServerLifeCycles, ClientsAskingAtOnceGetTheOneServerInstance) {
  constexpr int kClients = 8;
  TMethodServer S;
  std::vector<std::unique_ptr<TMethodsClient>> Clients;
  for (int i = 0; i < kClients; ++i) Clients.push_back(std::make_unique<TMethodsClient>(S.Port()));
  std::vector<std::int32_t> Ids(kClients, -1);
  std::vector<std::thread> Threads;
  for (int i = 0; i < kClients; ++i) {
    Threads.emplace_back([&, i] {
      try {
        TMethodsClient& c = *Clients[static_cast<std::size_t>(i)];
        Ids[static_cast<std::size_t>(i)] = RunId(c, c.Prepare(u"TLifeServer.Id"));
      } catch (const std::exception&) {
        // Left at -1, which the check below reports.
      }
    });
  }
  for (auto& Thread : Threads) Thread.join();
  EXPECT_EQ(S.SharedCounters.Created, 1);
  for (const std::int32_t Id : Ids) EXPECT_EQ(Id, Ids[0]);
}

TEST(DbxServerLifeCycles, AModulesMethodsAndItsProviderMethodsShareOneInstance) {
  TMethodServer S;
  TMethodsClient c(S.Port());
  const std::int32_t Echo = c.Prepare(u"TTestModule.Echo");
  c.Connection.BeginParameters().WriteString(u"eco");
  c.Connection.ParameterRow().WriteNull();
  c.Connection.Execute(Echo);
  c.Connection.ParameterRow().GoToField(1);
  EXPECT_EQ(c.Connection.ParameterRow().ReadString(), u"eco");

  const std::int32_t Names = c.Prepare(u"TTestModule.AS_GetProviderNames");
  c.Connection.BeginParameters().WriteNull();
  c.Connection.Execute(Names);
  c.Connection.ParameterRow().GoToField(0);
  EXPECT_EQ(c.Connection.ParameterRow().ReadString(), u"");

  const std::int32_t Params = c.Prepare(u"TTestModule.AS_GetParams");
  TDBXRowBuffer& Row = c.Connection.BeginParameters();
  Row.WriteString(u"dsEst1");
  Row.WriteNull();
  Row.WriteNull();
  const TDBXError Error = ErrorOf([&] { c.Connection.Execute(Params); });
  EXPECT_EQ(Error.Message(), "Remote error: Provider not exported: dsEst1");
  EXPECT_EQ(TTestModule::Live, 1);
}

}  // namespace
}  // namespace tavrin
