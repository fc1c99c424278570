// The method registry: how it is built from the built-in classes and the server class
// components, what it refuses, which methods it leaves out, how a server module is
// paired with its adapter, and how a command text finds a method and its literals.

#include "server/methods/server_method_provider.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/methods/provider_data_module_adapter.h"
#include "vocabulary/unicode_text.h"
#include "server/methods/method_registry_fixture.h"
#include "support/error_of.h"
#include "server/methods/test_server_classes.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

TDSClassDeclaration FakeBuiltIn(const std::string& Name, std::vector<TDSMethodDeclaration> Methods) {
  TDSClassDeclaration C;
  C.ClassName = Name;
  C.UnitName = "NotThisUnit";
  C.Methods = std::move(Methods);
  C.Create = [] { return std::make_unique<TDSServerObject>(); };
  return C;
}

// Two stand-ins for the built-in classes; DSAdmin has a method nobody can call.
struct TBuiltIns {
  TDSClassDeclaration Admin = FakeBuiltIn(
      "DSAdmin", {Method("GetPlatformName", {}, Type("string")), Method("Unsigned", {}, Type("Cardinal"))});
  TDSClassDeclaration Metadata = FakeBuiltIn("DSMetadata", {Method("GetDatabase", {}, Class("TDBXReader"))});
  std::vector<const TDSClassDeclaration*> List() const { return {&Admin, &Metadata}; }
};

std::vector<std::string> Aliases(const TDSServerMethodProvider& Registry, const std::string& ClassName) {
  std::vector<std::string> Found;
  for (const TDSMethodInfo* Method : Registry.MethodList()) {
    if (Method->ClassInfo->ClassName == ClassName) Found.push_back(Method->MethodAlias);
  }
  return Found;
}

// --- Building -------------------------------------------------------------------------------

TEST(MethodRegistry, BuiltInsComeFirstThenTheComponentsInTheOrderAttached) {
  TBuiltIns BuiltIns;
  TLifeCounters Counters;
  const TDSClassDeclaration Counted = CountedDeclaration("TLifeServer", Counters);
  auto Types = ServerClassOf(TypesDeclaration());
  Types->RoleName = "clerk";
  auto Life = ServerClassOf(Counted, TDSLifeCycles::kServer);
  TDSServerMethodProvider Registry(BuiltIns.List());
  Registry.AddServerClass(*Life);
  Registry.AddServerClass(*Types);
  Registry.Open();

  ASSERT_TRUE(Registry.IsOpen());
  std::vector<std::string> Names;
  for (const TDSClassInfo* Class : Registry.ClassList()) Names.push_back(Class->ClassName);
  EXPECT_EQ(Names, (std::vector<std::string>{"DSAdmin", "DSMetadata", "TLifeServer", "TTypes"}));

  for (const char* Name : {"dsadmin", "DSMETADATA"}) {
    const TDSClassInfo* Admin = Registry.FindClass(Name);
    ASSERT_NE(Admin, nullptr) << Name;
    EXPECT_EQ(Admin->UnitName, "DSCommonServer");
    EXPECT_EQ(Admin->LifeCycle, "Session");
    EXPECT_TRUE(Admin->AdminClass);
    EXPECT_EQ(Admin->ServerClass, nullptr);
  }
  const TDSClassInfo* TypesInfo = Registry.FindClass("TTypes");
  ASSERT_NE(TypesInfo, nullptr);
  EXPECT_EQ(TypesInfo->UnitName, "TypesUnit");
  EXPECT_EQ(TypesInfo->LifeCycle, "Session");
  EXPECT_EQ(TypesInfo->RoleName, "clerk");
  EXPECT_FALSE(TypesInfo->AdminClass);
  EXPECT_EQ(TypesInfo->ServerClass, Types.get());
  EXPECT_EQ(Registry.FindClass("TLifeServer")->LifeCycle, "Server");

  // Every listing follows registration order; the uncallable method is not listed.
  ASSERT_GE(Registry.MethodList().size(), 4u);
  EXPECT_EQ(Registry.MethodList()[0]->MethodAlias, "DSAdmin.GetPlatformName");
  EXPECT_EQ(Registry.MethodList()[1]->MethodAlias, "DSMetadata.GetDatabase");
  EXPECT_EQ(Registry.MethodList()[2]->MethodAlias, "TLifeServer.Id");
  EXPECT_EQ(Registry.MethodList()[3]->MethodAlias, "TTypes.Swap_Ansi");
  EXPECT_EQ(Registry.MethodList()[3]->SearchName, "TTYPES.SWAP_ANSI");
  EXPECT_EQ(Registry.MethodList()[3]->RoleName, "clerk");
  EXPECT_FALSE(Registry.HasMethod(u"DSAdmin.Unsigned"));
  EXPECT_TRUE(Registry.HasMethod(u"dsadmin.getplatformname"));
  EXPECT_EQ(Registry.FindMethod("ttypes.CONCAT"), Registry.FindMethod("TTypes.Concat"));
  EXPECT_NE(Registry.FindMethod("TTypes.Concat"), nullptr);
}

TEST(MethodRegistry, AFailedOpenLeavesTheRegistryClosedAndEmpty) {
  const TDSClassDeclaration LowerTypes = [] {
    TDSClassDeclaration C = TypesDeclaration();
    C.ClassName = "ttypes";
    return C;
  }();
  const TDSClassDeclaration NamedLikeBuiltIn = FakeBuiltIn("DSAdmin", {});
  const TDSClassDeclaration Duplicates =
      FakeBuiltIn("TDup", {Method("Run", {}, std::nullopt), Method("RUN", {}, std::nullopt)});
  struct TCase {
    const char* Name;
    std::function<void(TDSServerClass&)> Configure;
    std::int32_t Code;
    std::string Message;
  };
  const TCase Cases[] = {
      {"no OnGetClass", [](TDSServerClass& C) { C.OnGetClass = nullptr; }, 29,
       "OnGetClass event not set or it did not provide a class reference"},
      {"OnGetClass supplies nothing", [](TDSServerClass& C) { C.OnGetClass = [] { return nullptr; }; }, 29,
       "OnGetClass event not set or it did not provide a class reference"},
      {"class twice, other letter case", [&](TDSServerClass& C) { C.OnGetClass = [&] { return &LowerTypes; }; },
       102, "ttypes class has already been added to the server class list"},
      {"class named like a built-in", [&](TDSServerClass& C) { C.OnGetClass = [&] { return &NamedLikeBuiltIn; }; },
       102, "DSAdmin class has already been added to the server class list"},
      {"method alias twice", [&](TDSServerClass& C) { C.OnGetClass = [&] { return &Duplicates; }; }, 103,
       "TDup.RUN method has already been added to the server method list"},
  };
  TBuiltIns BuiltIns;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    auto Good = ServerClassOf(TypesDeclaration());
    TDSServerClass Bad;
    Case.Configure(Bad);
    TDSServerMethodProvider Registry(BuiltIns.List());
    Registry.AddServerClass(*Good);
    Registry.AddServerClass(Bad);
    const TDBXError Error = ErrorOf([&] { Registry.Open(); });
    EXPECT_EQ(Error.ErrorCode(), Case.Code);
    EXPECT_EQ(Error.Message(), Case.Message);
    EXPECT_FALSE(Registry.IsOpen());
    EXPECT_TRUE(Registry.ClassList().empty());
    EXPECT_TRUE(Registry.MethodList().empty());
    EXPECT_FALSE(Registry.HasMethod(u"TTypes.Concat"));
    EXPECT_EQ(Registry.FindClass("DSAdmin"), nullptr);
  }
}

TEST(MethodRegistry, MethodsTheDispatcherCannotCallAreLeftOut) {
  TDSMethodDeclaration Constructor = Method("Create", {}, std::nullopt);
  Constructor.IsConstructor = true;
  TDSMethodDeclaration Destructor = Method("Destroy", {}, std::nullopt);
  Destructor.IsDestructor = true;
  const TDSClassDeclaration Mixed = FakeBuiltIn(
      "TMixed",
      {Constructor, Destructor,
       Method("UnsignedResult", {}, Type("unsigned long")),
       Method("HolderResult", {}, Class("TDBXInt32Value")),
       Method("CardinalParameter", {{"P", Type("Cardinal")}}, std::nullopt),
       Method("VarWideString", {{"P", Var(Type("WideString"))}}, std::nullopt),
       Method("VarHolder", {{"P", Var(Class("TDBXStreamValue"))}}, std::nullopt),
       Method("OutHolder", {{"P", Out(Class("TDBXStreamValue"))}}, std::nullopt),
       Method("ConstWideString", {{"P", Const(Type("WideString"))}}, Type("int")),
       Method("OutInteger", {{"P", Out(Type("Integer"))}}, std::nullopt),
       Method("Holder", {{"P", Class("TDBXStreamValue")}}, std::nullopt),
       Method("UserObject", {{"P", Class("TCustomer")}}, Class("TCustomer")),
       Method("Procedure", {}, std::nullopt)});
  auto Component = ServerClassOf(Mixed);
  TDSServerMethodProvider Registry;
  Registry.AddServerClass(*Component);
  Registry.Open();
  EXPECT_EQ(Aliases(Registry, "TMixed"),
            (std::vector<std::string>{"TMixed.ConstWideString", "TMixed.OutInteger", "TMixed.Holder",
                                      "TMixed.UserObject", "TMixed.Procedure"}));
}

// --- Server modules -------------------------------------------------------------------------

TEST(MethodRegistry, AServerModuleIsRegisteredWithItsAdaptersProviderMethods) {
  const TDSClassDeclaration SubModule = [] {
    TDSClassDeclaration C = FakeBuiltIn("Units.TSubModule", {Method("Own", {}, std::nullopt)});
    C.UnitName = "SubUnit";
    C.ParentClassName = "TTestModule";
    return C;
  }();
  auto Module = ServerClassOf(TestModuleDeclaration());
  auto Sub = ServerClassOf(SubModule);
  auto Plain = ServerClassOf(TypesDeclaration());
  TDSServerMethodProvider Registry;
  Registry.AddServerClass(*Module);
  Registry.AddServerClass(*Sub);
  Registry.AddServerClass(*Plain);
  Registry.Open();

  const TDSClassInfo* Info = Registry.FindClass("TTestModule");
  ASSERT_NE(Info, nullptr);
  EXPECT_EQ(Info->UnitName, "ModuleUnit");
  EXPECT_EQ(Info->Declaration, &TDSProviderDataModuleAdapter::Declaration());
  EXPECT_EQ(Info->WrappedDeclaration, &TestModuleDeclaration());
  const std::vector<std::string> Provider{"AS_ApplyUpdates", "AS_GetRecords", "AS_DataRequest", "AS_GetProviderNames",
                                          "AS_GetParams",    "AS_RowRequest", "AS_Execute"};
  std::vector<std::string> Expected{"TTestModule.Echo"};
  for (const auto& Name : Provider) Expected.push_back("TTestModule." + Name);
  EXPECT_EQ(Aliases(Registry, "TTestModule"), Expected);
  EXPECT_TRUE(Registry.FindMethod("TTestModule.Echo")->OfWrappedClass);
  EXPECT_FALSE(Registry.FindMethod("TTestModule.AS_Execute")->OfWrappedClass);

  // A class deriving from a module is one too; its aliases drop the qualification.
  const TDSClassInfo* SubInfo = Registry.FindClass("Units.TSubModule");
  ASSERT_NE(SubInfo, nullptr);
  EXPECT_EQ(SubInfo->WrappedDeclaration, &SubModule);
  EXPECT_EQ(Aliases(Registry, "Units.TSubModule").front(), "TSubModule.Own");
  EXPECT_EQ(Aliases(Registry, "Units.TSubModule").back(), "TSubModule.AS_Execute");
  EXPECT_EQ(Registry.FindClass("TTypes")->WrappedDeclaration, nullptr);
}

TEST(MethodRegistry, TheProviderMethodsCarryTheirDeclaredParameterTypes) {
  const std::pair<const char*, const char*> Cases[] = {
      {"AS_ApplyUpdates",
       "ProviderName 26/1, DeltaStream 35/1, MaxErrors 6/1, ErrorCount 6/2, OwnerDataStream 33/3v, "
       "ReturnParameter 35/4"},
      {"AS_GetRecords",
       "ProviderName 26/1, Count 6/1, RecsOut 6/2, Options 6/1, CommandText 26/1, ParamReader 33/3v, "
       "OwnerDataStream 33/3v, ReturnParameter 35/4"},
      {"AS_DataRequest", "ProviderName 26/1, DataStream 35/1, ReturnParameter 35/4"},
      {"AS_GetProviderNames", "ReturnParameter 26/4"},
      {"AS_GetParams", "ProviderName 26/1, OwnerDataStream 33/3v, ReturnParameter 35/4"},
      {"AS_RowRequest", "ProviderName 26/1, RowStream 35/1, RequestType 6/1, OwnerDataStream 33/3v, ReturnParameter 35/4"},
      {"AS_Execute", "ProviderName 26/1, CommandText 26/1, ParamReader 33/3v, OwnerDataStream 33/3v"},
  };
  auto Module = ServerClassOf(TestModuleDeclaration());
  TDSServerMethodProvider Registry;
  Registry.AddServerClass(*Module);
  Registry.Open();
  TRegistryChain Chain(Registry);
  for (const auto& [Name, Expected] : Cases) {
    SCOPED_TRACE(Name);
    const auto Method = Registry.Prepare(u"TTestModule." + ToUtf16(Name), *Chain.Server, false);
    EXPECT_EQ(Signature(Method->Parameters()), Expected);
  }
}

TEST(MethodDispatch, AModulesOwnMethodsRunOnTheModuleAndTheProviderMethodsOnTheAdapter) {
  auto Module = ServerClassOf(TestModuleDeclaration());
  TDSServerMethodProvider Registry;
  Registry.AddServerClass(*Module);
  Registry.Open();
  TRegistryChain Chain(Registry);

  const auto Echo = Registry.Prepare(u"TTestModule.Echo", *Chain.Server, false);
  Holder<TDBXWideStringValue>(*Echo, 0).SetWideString(u"on the module");
  Call(*Echo);  // the entry point casts its instance to the module class
  EXPECT_EQ(Holder<TDBXWideStringValue>(*Echo, 1).GetWideString(), u"on the module");

  const auto Names = Registry.Prepare(u"TTestModule.AS_GetProviderNames", *Chain.Server, false);
  Call(*Names);
  EXPECT_FALSE(Holder<TDBXWideStringValue>(*Names, 0).IsNull());
  EXPECT_EQ(Holder<TDBXWideStringValue>(*Names, 0).GetWideString(), u"");

  // A module without providers refuses every name.
  const auto Records = Registry.Prepare(u"TTestModule.AS_GetRecords", *Chain.Server, false);
  Holder<TDBXWideStringValue>(*Records, 0).SetWideString(u"dsEst1");
  const TDBXError Error = ErrorOf([&] { Call(*Records); });
  EXPECT_EQ(Error.ErrorCode(), 5);
  EXPECT_EQ(Error.Message(), "Provider not exported: dsEst1");
  EXPECT_EQ(TTestModule::Live, 1);  // one module for the connection, behind one adapter
}

// --- Finding a command's method -------------------------------------------------------------

TEST(MethodDispatch, WhatACallReturnedIsFreedAtTheNextCallWhenClearedOrWithTheMethod) {
  auto Types = ServerClassOf(TypesDeclaration());
  TDSServerMethodProvider Registry;
  Registry.AddServerClass(*Types);
  Registry.Open();
  TRegistryChain Chain(Registry);
  const int Before = TTestDataSet::Live;
  auto Rows = Registry.Prepare(u"TTypes.Rows", *Chain.Server, false);
  Holder<TDBXInt32Value>(*Rows, 0).SetInt32(2);
  Holder<TDBXInt32Value>(*Rows, 1).SetInt32(1);
  Call(*Rows);
  EXPECT_FALSE(Holder<TDBXReaderValue>(*Rows, 2).IsNull());
  EXPECT_EQ(TTestDataSet::Live, Before + 1);
  // Called again with no new values (an execute without a parameter row).
  Call(*Rows);
  EXPECT_EQ(TTypesServer::DataSetsAliveAtRows, Before);
  EXPECT_TRUE(Rows->ClearCallObjects());
  EXPECT_TRUE(Holder<TDBXReaderValue>(*Rows, 2).IsNull());
  EXPECT_EQ(TTestDataSet::Live, Before);
  Call(*Rows);
  EXPECT_EQ(TTestDataSet::Live, Before + 1);
  Rows.reset();
  EXPECT_EQ(TTestDataSet::Live, Before);
}

struct TTypesRegistry {
  TTypesRegistry() {
    Registry.AddServerClass(*Types);
    Registry.Open();
  }
  std::unique_ptr<TDSServerClass> Types = ServerClassOf(TypesDeclaration());
  TDSServerMethodProvider Registry;
  TRegistryChain Chain{Registry};

  std::unique_ptr<IDSPreparedServerMethod> Prepare(const std::u16string& Text) {
    return Registry.Prepare(Text, *Chain.Server, false);
  }
};

TEST(MethodLookup, TheAliasIsFoundInAnyLetterCaseAndSpelling) {
  TTypesRegistry R;
  for (const std::u16string Text :
       {u"TTypes.Concat", u"ttypes.concat", u"TTYPES.CONCAT", u"  TTypes . Concat ", u"\"TTypes\".\"Concat\"",
        u"TTypes.Concat -- a comment\n"}) {
    SCOPED_TRACE(ToUtf8(Text));
    const auto Method = R.Prepare(Text);
    EXPECT_EQ(Method->MethodAlias(), "TTypes.Concat");
    EXPECT_EQ(Signature(Method->Parameters()), "A 26/1, B 26/1, ReturnParameter 26/4");
    EXPECT_FALSE(Method->HasLiteralParameters());
  }
}

TEST(MethodLookup, AnUnknownNameIsRefusedWithTheNameAsRead) {
  TTypesRegistry R;
  const std::pair<std::u16string, std::string> Cases[] = {
      {u"TTypes.Nope", "TTypes.Nope"},
      {u"TTypes.Concat2(1)", "TTypes.Concat2"},
      {u"\"TTypes\".Nope ", "TTypes.Nope"},
      {u"Concat", "Concat"},
  };
  for (const auto& [Text, Name] : Cases) {
    SCOPED_TRACE(ToUtf8(Text));
    const TDBXError Error = ErrorOf([&] { R.Prepare(Text); });
    EXPECT_EQ(Error.ErrorCode(), 105);
    EXPECT_EQ(Error.Message(), Name + " method not found in the server method list");
  }
}

TEST(MethodLookup, LiteralParametersFillTheParametersFromTheFirst) {
  TTypesRegistry R;
  const auto Concat = R.Prepare(u"TTypes.Concat(\"ab\", \"c \"\"d\"\"\")");
  EXPECT_TRUE(Concat->HasLiteralParameters());
  EXPECT_EQ(Signature(Concat->Parameters()), "A 26/1L, B 26/1L, ReturnParameter 26/4");
  Call(*Concat);
  EXPECT_EQ(Holder<TDBXWideStringValue>(*Concat, 2).GetWideString(), u"abc \"d\"");
  // The reply clears the inputs; the literals hold for the next call all the same.
  EXPECT_TRUE(Holder<TDBXWideStringValue>(*Concat, 0).IsNull());
  Call(*Concat);
  EXPECT_EQ(Holder<TDBXWideStringValue>(*Concat, 2).GetWideString(), u"abc \"d\"");

  const auto Add = R.Prepare(u"TTypes.Add(2, 40)");
  Call(*Add);
  EXPECT_EQ(Holder<TDBXInt32Value>(*Add, 2).GetInt32(), 42);

  const auto Partial = R.Prepare(u"TTypes.Add(7)");
  EXPECT_EQ(Signature(Partial->Parameters()), "A 6/1L, B 6/1, ReturnParameter 6/4");

  const auto Empty = R.Prepare(u"TTypes.Add()");
  EXPECT_FALSE(Empty->HasLiteralParameters());

  // Every kind takes its literal as every value is read from text.
  const auto Date = R.Prepare(u"TTypes.Swap_Date(\"2024-02-29\")");
  EXPECT_EQ(Holder<TDBXDateValue>(*Date, 0).GetDate(), EncodeDbxDate(2024, 2, 29));
}

TEST(MethodLookup, MoreLiteralsThanParametersOrOnesTheTypeCannotTakeAreRefused) {
  TTypesRegistry R;
  const struct {
    std::u16string Text;
    std::int32_t Code;
    std::string Message;
  } Cases[] = {
      {u"TTypes.Nothing(1)", 8, "Invalid Ordinal:  0"},
      {u"TTypes.Add(1, 2, 3)", 8, "Invalid Ordinal:  2"},
      {u"TTypes.Add(one, 2)", 2, "Invalid literal value for parameter A"},
      {u"TTypes.Add(99999999999)", 2, "Invalid literal value for parameter A"},
      {u"TTypes.Swap_Boolean(yes)", 2, "Invalid literal value for parameter A"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Text));
    const TDBXError Error = ErrorOf([&] { R.Prepare(Case.Text); });
    EXPECT_EQ(Error.ErrorCode(), Case.Code);
    EXPECT_EQ(Error.Message(), Case.Message);
  }
}

}  // namespace
}  // namespace tavrin
