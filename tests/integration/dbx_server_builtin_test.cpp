// The built-in classes end to end through real loopback sockets: a real method registry
// holding DSAdmin, DSMetadata and one server module (TTestModule: Echo, then the seven
// provider methods) behind a real server, asked by the client library, or by raw bytes
// where the client library has no way to send a table.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/connection.h"
#include "dbx_test_server.h"
#include "server/builtin/builtin_classes.h"
#include "dbxstream/command_types.h"
#include "server/methods/server_method_provider.h"
#include "vocabulary/unicode_text.h"
#include "server/methods/test_server_classes.h"
#include "transport/tcp_client_channel.h"
#include "transport/test_client.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;
using Texts = std::vector<std::string>;

// The registry as the product builds it, behind a real server. Members go in reverse
// order: the server stops first, then the registry closes, then its component goes.
struct TBuiltInServer {
  TBuiltInServer() {
    Registry.SetServerName("DSServer1");
    Registry.AddServerClass(*Module);
    Registry.Open();
  }
  std::unique_ptr<TDSServerClass> Module = ServerClassOf(TestModuleDeclaration());
  TDSServerMethodProvider Registry{
      std::vector<const TDSClassDeclaration*>{&DSAdminDeclaration(), &DSMetadataDeclaration()}};
  TDbxTestServer Server{Registry};
};

struct TBuiltinClient {
  explicit TBuiltinClient(const TBuiltInServer& S) : Channel("127.0.0.1", S.Server.Port(), true), Connection(Channel) {
    Connection.Connect({});
  }
  // Prepares Alias, sends Arguments and a null for the result, and executes it.
  TDBXExecuteReply Call(const std::u16string& Alias, const std::vector<std::u16string>& Arguments = {}) {
    const std::int32_t Handle = Connection.Prepare(TDSCommandTypes::kServerMethod, Alias).CommandHandle;
    TDBXRowBuffer& Row = Connection.BeginParameters();
    for (const auto& Text : Arguments) Row.WriteString(Text);
    Row.WriteNull();
    return Connection.Execute(Handle);
  }
  // The reply row's value at Ordinal.
  std::u16string TextAt(std::int32_t Ordinal) {
    Connection.ParameterRow().GoToField(Ordinal);
    return Connection.ParameterRow().ReadString();
  }
  TJSONValue JsonAt(std::int32_t Ordinal) {
    Connection.ParameterRow().GoToField(Ordinal);
    return Connection.ParameterRow().ReadJSONValue().value_or(TJSONValue("<null>"));
  }

  TDBXTcpClientChannel Channel;
  TDBXClientConnection Connection;
};

// The rows of a table as the client reads them, each as its values' texts joined with
// "|": "null", the text, the number, "true"/"false".
Texts RowsOf(TDBXClientTable& Table) {
  Texts Rows;
  while (Table.Next()) {
    std::string Row;
    for (std::int32_t i = 0; i < Table.ColumnCount(); ++i) {
      TDBXRowBuffer& Values = Table.Row();
      Values.GoToField(i);
      if (i > 0) Row += "|";
      if (Values.Null()) {
        Row += "null";
        continue;
      }
      switch (const std::int32_t Type = Table.Columns()[static_cast<std::size_t>(i)].DataType()) {
        case TDBXDataTypes::WideStringType: Row += ToUtf8(Values.ReadString()); break;
        case TDBXDataTypes::Int32Type: Row += std::to_string(Values.ReadInt32()); break;
        case TDBXDataTypes::Int64Type: Row += std::to_string(Values.ReadInt64()); break;
        case TDBXDataTypes::BooleanType: Row += Values.ReadBoolean() ? "true" : "false"; break;
        default: ADD_FAILURE() << "unexpected column type " << Type;
      }
    }
    Rows.push_back(Row);
  }
  return Rows;
}

// The rows of the reply's one table.
Texts TableRows(TDBXExecuteReply& Reply) {
  if (Reply.Tables.size() != 1) {
    ADD_FAILURE() << Reply.Tables.size() << " tables in the reply";
    return {};
  }
  return RowsOf(*Reply.Tables[0]);
}

Texts RowsStartingWith(const Texts& Rows, const std::string& Prefix) {
  Texts Selected;
  for (const auto& Row : Rows) {
    if (Row.starts_with(Prefix)) Selected.push_back(Row);
  }
  return Selected;
}

// --- Listing and describing -------------------------------------------------------------------

TEST(DbxBuiltInClasses, ListClassesAndDescribeMethodAnswerJson) {
  TBuiltInServer S;
  TBuiltinClient c(S);
  const TDBXPrepareReply Prepared = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"DSAdmin.ListClasses");
  ASSERT_EQ(Prepared.Parameters.size(), 1u);
  EXPECT_EQ(Prepared.Parameters[0].DataType(), TDBXDataTypes::JsonValueType);
  ASSERT_TRUE(c.Connection.Execute(Prepared.CommandHandle).HasParameterRow);
  EXPECT_EQ(c.JsonAt(0), TJSONValue::parse(R"(["DSAdmin","DSMetadata","TTestModule"])"));

  // The member is named as the caller wrote the method, found or not.
  const struct {
    std::u16string Name;
    const char* Json;
  } Cases[] = {
      {u"TTestModule.Nope", R"({"TTestModule.Nope":null})"},
      {u"Nope", R"({"Nope":null})"},
      {u"ttestmodule.echo",
       R"({"ttestmodule.echo":{"Text":{"direction":"In","type":"string"},)"
       R"("Result":{"direction":"Return","type":"string"}}})"},
      // The owner data is the fourth parameter of a row request, as of its siblings.
      {u"TTestModule.AS_RowRequest",
       R"({"TTestModule.AS_RowRequest":{"ProviderName":{"direction":"In","type":"WideString"},)"
       R"("RowStream":{"direction":"In","type":"OleVariant"},"RequestType":{"direction":"In","type":"Integer"},)"
       R"("OwnerDataStream":{"direction":"InOut","type":"TDBXStreamValue"},)"
       R"("Result":{"direction":"Return","type":"OleVariant"}}})"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Name));
    ASSERT_TRUE(c.Call(u"DSAdmin.DescribeMethod", {Case.Name}).HasParameterRow);
    EXPECT_EQ(c.JsonAt(1).dump(), TJSONValue::parse(Case.Json).dump());
  }
}

TEST(DbxBuiltInClasses, PlatformAndServerNameAnswerText) {
  const struct {
    std::u16string Alias;
    std::u16string Answer;
  } Cases[] = {
      {u"DSAdmin.GetPlatformName", u"win32"},
      {u"DSAdmin.GetDSServerName", u"DSServer1"},
      {u"DSMetadata.GetDSServerName", u"DSServer1"},
  };
  TBuiltInServer S;
  TBuiltinClient c(S);
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Alias));
    ASSERT_TRUE(c.Call(Case.Alias).HasParameterRow);
    EXPECT_EQ(c.TextAt(0), Case.Answer);
  }
}

TEST(DbxBuiltInClasses, ServerMethodParametersGiveAMethodWithoutParametersOnlyItsResultRow) {
  // MethodAlias|ServerClassName|MethodName|Name|ParameterTypeName|ParameterTypeUnit|
  // ParameterDirection|DBXType|DBXParameterDirection
  const struct {
    const char* Alias;
    Texts Rows;
  } Cases[] = {
      {"TTestModule.AS_GetProviderNames|",
       {"TTestModule.AS_GetProviderNames|TTestModule|AS_GetProviderNames|null|string||4|26|4"}},
      {"DSAdmin.ClearResources|", {"DSAdmin.ClearResources|DSAdmin|ClearResources|null|Boolean||4|4|4"}},
      {"TTestModule.AS_RowRequest|",
       {"TTestModule.AS_RowRequest|TTestModule|AS_RowRequest|ProviderName|WideString||1|26|1",
        "TTestModule.AS_RowRequest|TTestModule|AS_RowRequest|RowStream|OleVariant||1|35|1",
        "TTestModule.AS_RowRequest|TTestModule|AS_RowRequest|RequestType|Integer||1|6|1",
        "TTestModule.AS_RowRequest|TTestModule|AS_RowRequest|OwnerDataStream|TDBXStreamValue||1|33|3",
        "TTestModule.AS_RowRequest|TTestModule|AS_RowRequest|null|OleVariant||4|35|4"}},
      {"TTestModule.Echo|",
       {"TTestModule.Echo|TTestModule|Echo|Text|string||1|26|1",
        "TTestModule.Echo|TTestModule|Echo|null|string||4|26|4"}},
  };
  TBuiltInServer S;
  TBuiltinClient c(S);
  TDBXExecuteReply Reply = c.Call(u"DSAdmin.GetServerMethodParameters");
  const Texts Rows = TableRows(Reply);
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Alias);
    EXPECT_EQ(RowsStartingWith(Rows, Case.Alias), Case.Rows);
  }
}

// --- Metadata ---------------------------------------------------------------------------------

TEST(DbxBuiltInClasses, ProceduresAreListedByKind) {
  const std::string Functions[] = {"Echo", "AS_ApplyUpdates", "AS_GetRecords", "AS_DataRequest",
                                   "AS_GetProviderNames", "AS_GetParams", "AS_RowRequest"};
  Texts FunctionRows;
  for (const auto& Name : Functions) FunctionRows.push_back("||TTestModule." + Name + "|FUNCTION");
  const Texts ProcedureRows = {"||TTestModule.AS_Execute|PROCEDURE"};
  TBuiltInServer S;
  TBuiltinClient c(S);
  for (const auto& [Kind, Expected] : {std::pair{u"FUNCTION", FunctionRows}, std::pair{u"PROCEDURE", ProcedureRows}}) {
    SCOPED_TRACE(ToUtf8(Kind));
    TDBXExecuteReply Reply = c.Call(u"DSMetadata.GetProcedures", {u"TTestModule.", Kind});
    EXPECT_EQ(TableRows(Reply), Expected);
  }
}

TEST(DbxBuiltInClasses, MetadataCommandsRunTheirMethods) {
  const struct {
    std::u16string Text;
    Texts Rows;
  } Cases[] = {
      {u"getprocedures TTestModule.AS_Get%",
       {"||TTestModule.AS_GetRecords|FUNCTION", "||TTestModule.AS_GetProviderNames|FUNCTION",
        "||TTestModule.AS_GetParams|FUNCTION"}},
      // CatalogName|SchemaName|ProcedureName|ParameterName|ParameterMode|TypeName|Precision|
      // Scale|Ordinal|IsNullable|DbxDataType|IsFixedLength|IsUnicode|IsLong|IsUnsigned
      {u"GetProcedureParameters TTestModule.Echo",
       {"||TTestModule.Echo|Text|IN|TDBXTypes.WideString|-1|-1|0|false|26|false|true|false|false",
        "||TTestModule.Echo|ReturnValue|RESULT|TDBXTypes.WideString|-1|-1|1|false|26|false|true|false|false"}},
  };
  TBuiltInServer S;
  TBuiltinClient c(S);
  const auto Run = [&c](const std::u16string& Text) {
    return c.Connection.Execute(c.Connection.Prepare(TDSCommandTypes::kMetaData, Text).CommandHandle);
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Text));
    TDBXExecuteReply Reply = Run(Case.Text);
    EXPECT_EQ(TableRows(Reply), Case.Rows);
  }

  TDBXExecuteReply Reply = Run(u"GetDatabase");
  ASSERT_EQ(Reply.Tables.size(), 1u);
  Texts Columns;
  for (const TDBXValueType& Column : Reply.Tables[0]->Columns()) {
    Columns.push_back(Column.Name() + ":" + std::to_string(Column.DataType()));
  }
  EXPECT_EQ(Columns, (Texts{"QuoteChar:26", "ProcedureQuoteChar:26", "MaxCommands:6", "SupportsTransactions:4",
                            "SupportsNestedTransactions:4", "SupportsRowSetSize:4", "ProductVersion:26",
                            "ProductName:26", "QuotePrefix:26", "QuoteSuffix:26", "SupportsLowerCaseIdentifiers:4",
                            "SupportsUpperCaseIdentifiers:4", "SupportsSPReturnCode:4",
                            "SupportsParameterMetadata:4", "SupportsCatalogFunctions:4",
                            "SupportsCatalogFunctions:4", "SupportsCatalogFunctions:4"}));
  // One row: MaxCommands 2147483647, ProductVersion "2008", ProductName "Corvane".
  EXPECT_EQ(TableRows(Reply),
            (Texts{R"("|"|2147483647|false|false|false|2008|Corvane|"|"|false|false|false|false|false|false|false)"}));
}

// --- Registry changes -------------------------------------------------------------------------

// An execute of the prepared command Handle that sends a table of text columns with one
// row as its only parameter; the table has no row handle (-1), so no reader close comes
// back for it.
std::string ExecuteWithTextTable(std::int32_t Handle, const Texts& Columns, const Texts& Values) {
  const std::string Arguments = testing::RowOf([](TDBXRowBuffer& R) { R.WriteTableHandle(1); });
  const std::string Row = testing::RowOf([&](TDBXRowBuffer& R) {
    for (const auto& Value : Values) R.WriteString(ToUtf16(Value));
  });
  std::string Described = std::to_string(Columns.size());
  for (const auto& Column : Columns) Described += R"(,[")" + Column + R"(",26,0,0,0,0,0])";
  return R"({"method":"execute","params":[{"handle":[)" + std::to_string(Handle) + R"(]},{"data":[)" +
         std::to_string(Arguments.size()) + "," + Arguments + R"(]},{"table":[{"fields":[)" +
         std::to_string(Handle) + R"(,false,-1,0,true]},{"columns":[)" + Described + R"(]}]})" +
         R"({"data":[-)" + std::to_string(Row.size()) + "," + Row + "]}]}";
}

TEST(DbxBuiltInClasses, RegistryChangesAreRefusedAndTheMethodsStay) {
  const struct {
    const char* Method;
    const char* Parameter;
    Texts Columns;
    Texts Row;  // naming what the change would remove
  } Cases[] = {
      {"DropServerClasses", "ClassReader", {"PackageName", "ClassName", "RoleName", "LifeCycle"},
       {"", "TTestModule", "", "Session"}},
      {"DropServerMethods", "MethodReader", {"MethodAlias", "ServerClassName", "MethodName", "RoleName"},
       {"TTestModule.Echo", "TTestModule", "Echo", ""}},
  };
  TBuiltInServer S;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Method);
    TTestClient Raw;
    ASSERT_TRUE(Raw.Connect(S.Server.Port()));
    Raw.Send(std::string(kConnect) + Prepare("Corvane.ServerMethod", std::string("DSAdmin.") + Case.Method));
    const std::string Prepared = std::string(kConnectReply) +
                                 R"({"result":[{"handle":[0]},{"fields":[0,false]},{"parameters":[1,[23,40,1,0,0,")" +
                                 Case.Parameter + R"(",0,0,0]]}]})";
    ASSERT_EQ(Raw.Read(Prepared.size()), Prepared);
    Raw.Send(ExecuteWithTextTable(0, Case.Columns, Case.Row));
    const std::string Refused = ErrorReply(30, "Changing the server method list is not allowed");
    EXPECT_EQ(Raw.Read(Refused.size()), Refused);
    // The refusing connection goes on, and every client still finds the module.
    Raw.Send(Prepare("Corvane.ServerMethod", "TTestModule.Echo"));
    const std::string Next = R"({"result":[{"handle":[1]})";
    EXPECT_EQ(Raw.Read(Next.size()), Next);

    TBuiltinClient c(S);
    ASSERT_TRUE(c.Call(u"TTestModule.Echo", {u"eco"}).HasParameterRow);
    EXPECT_EQ(c.TextAt(1), u"eco");
    ASSERT_TRUE(c.Call(u"DSAdmin.ListClasses").HasParameterRow);
    EXPECT_EQ(c.JsonAt(0), TJSONValue::parse(R"(["DSAdmin","DSMetadata","TTestModule"])"));
  }
}

}  // namespace
}  // namespace tavrin
