#include "server/builtin/admin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "server/builtin/admin_fixture.h"
#include "vocabulary/declared_type.h"
#include "server/builtin/memory_table.h"
#include "server/builtin/metadata.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;
using Texts = std::vector<std::string>;

// "[const |var |out ]Name: Type=code", the code mapped strictly, so a type the registry
// would not support fails the test.
std::string ParameterText(const TDSParameterDeclaration& Parameter) {
  const TDeclaredType& Type = Parameter.Type;
  const std::string How = Type.IsConst ? "const " : Type.IsVar ? "var " : Type.IsOut ? "out " : "";
  return How + Parameter.Name + ": " + Type.TypeName + "=" +
         std::to_string(MapDeclaredParameterType(Type, TTypeMappingMode::Strict).DataType);
}

std::string Signature(const TDSMethodDeclaration& Method) {
  std::string Text = Method.Name + "(";
  for (std::size_t i = 0; i < Method.Parameters.size(); ++i) {
    Text += (i ? "; " : "") + ParameterText(Method.Parameters[i]);
  }
  Text += ")";
  if (Method.Result) {
    Text += ": " + Method.Result->TypeName + "=" +
            std::to_string(MapDeclaredResultType(*Method.Result, TTypeMappingMode::Strict).DataType);
  }
  return Text;
}

Texts SignaturesOf(const TDSClassDeclaration& Class) {
  Texts Signatures;
  for (const auto& Method : Class.Methods) Signatures.push_back(Signature(Method));
  return Signatures;
}

const Texts kInheritedSignatures = {
    "GetDSServerName(): string=26",
    "ConsumeClientChannel(const ChannelName: string=26; const ClientManagerId: string=26; "
    "const CallbackId: string=26; const ChannelNames: string=26; const SecurityToken: string=26; "
    "ResponseData: TJSONValue=37): TJSONValue=37",
    "ConsumeClientChannelTimeout(const ChannelName: string=26; const ClientManagerId: string=26; "
    "const CallbackId: string=26; const ChannelNames: string=26; const SecurityToken: string=26; "
    "Timeout: Integer=6; ResponseData: TJSONValue=37): TJSONValue=37",
    "ConnectClientChannel(const ChannelName: string=26; const ChannelId: string=26; const CallbackId: string=26; "
    "const ChannelNames: string=26; const SecurityToken: string=26; ChannelCallback: TDBXCallback=38): Boolean=4",
    "ConnectClientChannelTimeout(const ChannelName: string=26; const ChannelId: string=26; "
    "const CallbackId: string=26; const ChannelNames: string=26; const SecurityToken: string=26; "
    "ChannelCallback: TDBXCallback=38; Timeout: Integer=6): Boolean=4",
    "CloseClientChannel(const ChannelId: string=26; const SecurityToken: string=26): Boolean=4",
    "RegisterClientCallback(const ChannelId: string=26; const CallbackId: string=26; const ChannelNames: string=26; "
    "const SecurityToken: string=26; ChannelCallback: TDBXCallback=38): Boolean=4",
    "RegisterClientCallbackServer(const ChannelId: string=26; const CallbackId: string=26; "
    "const ChannelNames: string=26; const SecurityToken: string=26): Boolean=4",
    "UnregisterClientCallback(const ChannelId: string=26; const CallbackId: string=26; "
    "const SecurityToken: string=26): Boolean=4",
    "BroadcastToChannel(const ChannelName: string=26; Msg: TJSONValue=37): Boolean=4",
    "BroadcastObjectToChannel(const ChannelName: string=26; Msg: TObject=37): Boolean=4",
    "NotifyCallback(const ClientId: string=26; const CallbackId: string=26; Msg: TJSONValue=37; "
    "out Response: TJSONValue=37): Boolean=4",
    "NotifyObject(const ClientId: string=26; const CallbackId: string=26; Msg: TObject=37; "
    "out Response: TObject=37): Boolean=4",
};

Texts Concat(Texts Own, const Texts& Inherited) {
  Own.insert(Own.end(), Inherited.begin(), Inherited.end());
  return Own;
}

TEST(BuiltInClasses, DeclareTheirMethodsInRegistryOrderWithTheirSignatures) {
  const Texts AdminOwn = {
      "GetPlatformName(): string=26",
      "ClearResources(): Boolean=4",
      "FindPackages(): TDBXReader=23",
      "FindClasses(const PackageName: string=26; const ClassPattern: string=26): TDBXReader=23",
      "FindMethods(const PackageName: string=26; const ClassPattern: string=26; const MethodPattern: string=26): "
      "TDBXReader=23",
      "CreateServerClasses(const ClassReader: TDBXReader=23)",
      "DropServerClasses(const ClassReader: TDBXReader=23)",
      "CreateServerMethods(const MethodReader: TDBXReader=23)",
      "DropServerMethods(const MethodReader: TDBXReader=23)",
      "GetServerClasses(): TDBXReader=23",
      "ListClasses(): TJSONArray=37",
      "DescribeClass(const ClassName: string=26): TJSONObject=37",
      "ListMethods(const ClassName: string=26): TJSONArray=37",
      "DescribeMethod(const ServerMethodName: string=26): TJSONObject=37",
      "GetServerMethods(): TDBXReader=23",
      "GetServerMethodParameters(): TDBXReader=23",
      "GetConnection(const NewConName: string=26): TDBXConnection=34",
      "GetDatabaseConnectionProperties(): TDBXReader=23",
  };
  const Texts MetadataOwn = {
      "GetProcedures(const ProcedureNamePattern: string=26; const ProcedureType: string=26): TDBXReader=23",
      "GetProcedureParameters(const ProcedureNamePattern: string=26): TDBXReader=23",
      "GetDatabase(): TDBXReader=23",
  };
  EXPECT_EQ(SignaturesOf(DSAdminDeclaration()), Concat(AdminOwn, kInheritedSignatures));
  EXPECT_EQ(SignaturesOf(DSMetadataDeclaration()), Concat(MetadataOwn, kInheritedSignatures));

  for (const TDSClassDeclaration* Class : {&DSAdminDeclaration(), &DSMetadataDeclaration()}) {
    SCOPED_TRACE(Class->ClassName);
    EXPECT_EQ(Class->UnitName, "DSCommonServer");
    EXPECT_EQ(Class->ParentClassName, "TDSCustomAdmin");
    EXPECT_NE(dynamic_cast<TDSCustomAdmin*>(Class->Create().get()), nullptr);
  }
  EXPECT_EQ(DSAdminDeclaration().ClassName, "DSAdmin");
  EXPECT_EQ(DSMetadataDeclaration().ClassName, "DSMetadata");
}

std::string JsonResult(TDSMethodCall&& Call) {
  auto* Json = std::get_if<std::shared_ptr<TJSONValue>>(&Call.Result());
  if (Json == nullptr || *Json == nullptr) return "no JSON result";
  return (*Json)->dump();
}

TEST(DSAdmin, ListsTheRegisteredClassesInRegistrationOrder) {
  TAdminConnection c;
  EXPECT_EQ(JsonResult(c.Call(DSAdminDeclaration(), "ListClasses")), R"(["DSAdmin","DSMetadata","TFakeMethods"])");
  TDSMethodCall Classes = c.Call(DSAdminDeclaration(), "GetServerClasses");
  EXPECT_EQ(RowsOf(ResultTable(Classes)),
            (Texts{"|DSAdmin||Session", "|DSMetadata||Session", "|TFakeMethods|reader|Invocation"}));
  TDSMethodCall Methods = c.Call(DSAdminDeclaration(), "GetServerMethods");
  EXPECT_EQ(RowsStartingWith(ResultTable(Methods), "TFakeMethods."),
            (Texts{"TFakeMethods.Count|TFakeMethods|Count|reader", "TFakeMethods.Reset|TFakeMethods|Reset|reader",
                   "TFakeMethods.Exchange|TFakeMethods|Exchange|reader"}));
}

TEST(DSAdmin, ListMethodsFindsTheClassInAnyLetterCase) {
  const std::string Fake = R"(["TFakeMethods.Count","TFakeMethods.Reset","TFakeMethods.Exchange"])";
  struct TCase { std::u16string ClassName; std::string Aliases; };
  const TCase Cases[] = {
      {u"TFakeMethods", Fake},
      {u"tfakemethods", Fake},
      {u"TFAKEMETHODS", Fake},
      // The name must be followed by the point: a prefix of a class name is no class.
      {u"TFake", "[]"},
      {u"Nobody", "[]"},
  };
  TAdminConnection c;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.ClassName));
    EXPECT_EQ(JsonResult(c.Call(DSAdminDeclaration(), "ListMethods", {Case.ClassName})), Case.Aliases);
  }
  // No name: every alias of the registry, in its order.
  const TJSONValue All = ParseJsonText(JsonResult(c.Call(DSAdminDeclaration(), "ListMethods", {std::u16string()})));
  ASSERT_EQ(All.size(), c.Methods.MethodList().size());
  std::vector<std::string> Registered;
  for (const TDSMethodInfo* Method : c.Methods.MethodList()) Registered.push_back(Method->MethodAlias);
  std::vector<std::string> Listed;
  for (const TJSONValue& Alias : All) Listed.push_back(Alias.get<std::string>());
  EXPECT_EQ(Listed, Registered);
  EXPECT_EQ(Listed.front(), "DSAdmin.GetPlatformName");
  EXPECT_EQ(Listed.back(), "TFakeMethods.Exchange");
}

TEST(DSAdmin, DescribesAClassOrAnswersNullForItsName) {
  TAdminConnection c;
  EXPECT_EQ(JsonResult(c.Call(DSAdminDeclaration(), "DescribeClass", {std::u16string(u"tfakemethods")})),
            R"({"tfakemethods":{"LifeCycle":"Invocation","methods":)"
            R"(["TFakeMethods.Count","TFakeMethods.Reset","TFakeMethods.Exchange"]}})");
  EXPECT_EQ(JsonResult(c.Call(DSAdminDeclaration(), "DescribeClass", {std::u16string(u"Nobody")})),
            R"({"Nobody":null})");
}

TEST(DSAdmin, DescribesAMethodsParametersWithDirectionAndDeclaredType) {
  struct TCase { std::u16string Name; std::string Json; };
  const TCase Cases[] = {
      {u"TFakeMethods.Count",
       R"({"TFakeMethods.Count":{"Filter":{"direction":"In","type":"string"},)"
       R"("Limit":{"direction":"In","type":"Integer"},"Result":{"direction":"Return","type":"Integer"}}})"},
      {u"tfakemethods.exchange",
       R"({"tfakemethods.exchange":{"Counter":{"direction":"InOut","type":"Integer"},)"
       R"("Note":{"direction":"Out","type":"string"},"Data":{"direction":"InOut","type":"TDBXStreamValue"},)"
       R"("Rows":{"direction":"In","type":"TDataSet"}}})"},
      {u"TFakeMethods.Reset", R"({"TFakeMethods.Reset":{}})"},
      {u"DSAdmin.ListClasses", R"({"DSAdmin.ListClasses":{"Result":{"direction":"Return","type":"TJSONArray"}}})"},
      {u"TFakeMethods.Missing", R"({"TFakeMethods.Missing":null})"},
  };
  TAdminConnection c;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Name));
    EXPECT_EQ(JsonResult(c.Call(DSAdminDeclaration(), "DescribeMethod", {Case.Name})), Case.Json);
  }
}

TEST(DSAdmin, ServerMethodParametersHaveARowPerParameterAndOneForTheResult) {
  TAdminConnection c;
  TDSMethodCall Call = c.Call(DSAdminDeclaration(), "GetServerMethodParameters");
  // MethodAlias|ServerClassName|MethodName|Name|ParameterTypeName|ParameterTypeUnit|
  // ParameterDirection|DBXType|DBXParameterDirection
  EXPECT_EQ(RowsStartingWith(ResultTable(Call), "TFakeMethods."),
            (Texts{
                "TFakeMethods.Count|TFakeMethods|Count|Filter|string||1|26|1",
                "TFakeMethods.Count|TFakeMethods|Count|Limit|Integer||1|6|1",
                "TFakeMethods.Count|TFakeMethods|Count|null|Integer||4|6|4",
                "TFakeMethods.Reset|TFakeMethods|Reset|null|null|null|4|null|4",
                "TFakeMethods.Exchange|TFakeMethods|Exchange|Counter|Integer||3|6|3",
                "TFakeMethods.Exchange|TFakeMethods|Exchange|Note|string||2|26|2",
                // A value holder is handed in, and written back.
                "TFakeMethods.Exchange|TFakeMethods|Exchange|Data|TDBXStreamValue||1|33|3",
                "TFakeMethods.Exchange|TFakeMethods|Exchange|Rows|TDataSet||1|23|1",
                "TFakeMethods.Exchange|TFakeMethods|Exchange|null|null|null|4|null|4",
            }));
}

TEST(DSAdmin, TablesHaveTheirNamesAndColumns) {
  const Texts MethodColumns = {"MethodAlias:26:256:0", "ServerClassName:26:256:0", "MethodName:26:256:0",
                               "RoleName:26:256:0"};
  const Texts ClassColumns = {"PackageName:26:256:0", "ClassName:26:256:0", "RoleName:26:256:0",
                              "LifeCycle:26:256:0"};
  struct TCase {
    const char* Method;
    std::vector<TDSArgument> Arguments;
    const char* TableName;
    Texts Columns;
    bool Empty;
  };
  const TCase Cases[] = {
      {"FindPackages", {}, "PackageTable", {"PackageName:26:256:0"}, true},
      {"FindClasses", {std::u16string(), std::u16string()}, "ClassTable", ClassColumns, true},
      {"FindMethods", {std::u16string(), std::u16string(u"TFake"), std::u16string()}, "MethodTable", MethodColumns,
       true},
      {"GetDatabaseConnectionProperties", {}, "ConnectionTable",
       {"ConnectionName:26:256:0", "ConnectionProperties:26:256:0", "DriverName:26:256:0",
        "DriverProperties:26:256:0"},
       true},
      {"GetServerClasses", {}, "ClassTable", ClassColumns, false},
      {"GetServerMethods", {}, "MethodTable", MethodColumns, false},
      {"GetServerMethodParameters", {}, "MethodParametersTable",
       {"MethodAlias:26:256:0", "ServerClassName:26:256:0", "MethodName:26:256:0", "Name:26:256:0",
        "ParameterTypeName:26:256:0", "ParameterTypeUnit:26:256:0", "ParameterDirection:6:4:0", "DBXType:6:4:0",
        "DBXParameterDirection:6:4:0"},
       false},
  };
  TAdminConnection c;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Method);
    TDSMethodCall Call = c.Call(DSAdminDeclaration(), Case.Method, Case.Arguments);
    TDBXReader& Table = ResultTable(Call);
    EXPECT_EQ(dynamic_cast<TDSMemoryTable&>(Table).TableName(), Case.TableName);
    EXPECT_EQ(ColumnsOf(Table), Case.Columns);
    EXPECT_EQ(RowsOf(Table).empty(), Case.Empty);
  }
}

TEST(DSAdmin, AnswersThePlatformAndTheServersName) {
  TAdminConnection c;
  EXPECT_EQ(c.Call(DSAdminDeclaration(), "GetPlatformName").Result(), TDSArgument(std::u16string(u"win32")));
  EXPECT_EQ(c.Call(DSMetadataDeclaration(), "GetDSServerName").Result(), TDSArgument(std::u16string()));
  c.Methods.SetServerName("DSServer1");
  for (const TDSClassDeclaration* Class : {&DSAdminDeclaration(), &DSMetadataDeclaration()}) {
    EXPECT_EQ(c.Call(*Class, "GetDSServerName").Result(), TDSArgument(std::u16string(u"DSServer1")));
  }
}

TEST(BuiltInClasses, RefuseRegistryChangesDatabaseConnectionsAndCallbackChannels) {
  const std::string RegistryFixed = "Changing the server method list is not allowed";
  const std::string NoChannels = "Callback channels are not supported by this server";
  struct TCase { const TDSClassDeclaration* Class; const char* Method; std::string Message; };
  std::vector<TCase> Cases = {
      {&DSAdminDeclaration(), "CreateServerClasses", RegistryFixed},
      {&DSAdminDeclaration(), "DropServerClasses", RegistryFixed},
      {&DSAdminDeclaration(), "CreateServerMethods", RegistryFixed},
      {&DSAdminDeclaration(), "DropServerMethods", RegistryFixed},
      {&DSAdminDeclaration(), "GetConnection", "No database connection is configured under the name Main"},
  };
  // Every method after GetDSServerName is a callback-channel method.
  for (const TDSClassDeclaration* Class : {&DSAdminDeclaration(), &DSMetadataDeclaration()}) {
    const auto& Methods = Class->Methods;
    const auto Last = std::find_if(Methods.begin(), Methods.end(),
                                   [](const TDSMethodDeclaration& M) { return M.Name == "GetDSServerName"; });
    ASSERT_NE(Last, Methods.end()) << Class->ClassName;
    ASSERT_NE(std::next(Last), Methods.end()) << Class->ClassName;
    for (auto Method = std::next(Last); Method != Methods.end(); ++Method) {
      Cases.push_back({Class, Method->Name.c_str(), NoChannels});
    }
  }
  TAdminConnection c;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Class->ClassName + "." + Case.Method);
    const TDSMethodDeclaration* Method = nullptr;
    for (const auto& Declared : Case.Class->Methods) {
      if (Declared.Name == Case.Method) Method = &Declared;
    }
    ASSERT_NE(Method, nullptr);
    // Text arguments as a client sends them; a null for anything else.
    std::vector<TDSArgument> Arguments;
    for (const auto& Parameter : Method->Parameters) {
      if (Parameter.Type.TypeName == "string") Arguments.emplace_back(std::u16string(u"Main"));
      else Arguments.emplace_back();
    }
    const TDBXError Error = ErrorOf([&] { c.Call(*Case.Class, Case.Method, Arguments); });
    EXPECT_EQ(Error.ErrorCode(), 30);
    EXPECT_EQ(Error.Message(), Case.Message);
  }
}

TEST(DSAdmin, ClearResourcesFreesTheCallObjectsOfEveryOpenCommand) {
  TAdminConnection c;
  const auto Clear = [&c] { return c.Call(DSAdminDeclaration(), "ClearResources").Result(); };
  EXPECT_EQ(Clear(), TDSArgument(true));
  EXPECT_EQ(c.Methods.Frees, 0);

  c.Serve(R"({"method":"connect","params":[{}]})");
  const std::string Prepare =
      R"({"method":"prepare","params":[-1,false,"Corvane.ServerMethod","TFakeMethods.Reset"]})";
  for (const char* Reply : {R"({"result":[{"handle":[0]})", R"({"result":[{"handle":[1]})"}) {
    ASSERT_TRUE(c.Serve(Prepare).starts_with(Reply));
  }
  // The second command's objects cannot be freed: the first's are freed all the same.
  EXPECT_EQ(Clear(), TDSArgument(false));
  EXPECT_EQ(c.Methods.Frees, 2);

  c.Serve(R"({"method":"command_close","params":[1]})");
  EXPECT_EQ(Clear(), TDSArgument(true));
  EXPECT_EQ(c.Methods.Frees, 3);
}

}  // namespace
}  // namespace tavrin
