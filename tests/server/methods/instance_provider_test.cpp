// The life of server class instances: the instance table, the create and destroy hooks,
// and which instance a prepared method gets for each life cycle text.

#include "server/methods/instance_provider.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/methods/custom_admin.h"
#include "server/methods/provider_data_module_adapter.h"
#include "server/methods/server_method.h"
#include "server/methods/method_registry_fixture.h"
#include "support/error_of.h"
#include "server/methods/test_server_classes.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

TDSClassInfo InfoOf(const std::string& Name, const TDSClassDeclaration* Declaration = nullptr) {
  TDSClassInfo Info;
  Info.ClassName = Name;
  Info.LifeCycle = "Server";
  Info.Declaration = Declaration;
  return Info;
}

class TNamed : public TDSServerObject {
 public:
  explicit TNamed(std::string Text) : Name(std::move(Text)) {}
  std::string Name;
};

// --- The table ------------------------------------------------------------------------------

TEST(InstanceTable, OneInstancePerClassNameIgnoringCaseDestroyedNewestFirst) {
  std::vector<std::string> Destroyed;
  {
    TDSHashtableInstanceProvider Table([&](const TDSClassInfo&, std::unique_ptr<TDSServerObject> Instance) {
      Destroyed.push_back(dynamic_cast<TNamed&>(*Instance).Name);
    });
    const TDSClassInfo A = InfoOf("TAlpha"), AOtherCase = InfoOf("tALPHA"), B = InfoOf("TBeta");
    int Made = 0;
    const auto Make = [&](const char* Name) {
      return [&Made, Name] {
        ++Made;
        return std::make_unique<TNamed>(Name);
      };
    };
    TDSServerObject& First = Table.GetInstance(A, Make("alpha"));
    EXPECT_EQ(&Table.GetInstance(AOtherCase, Make("alpha again")), &First);
    Table.GetInstance(B, Make("beta"));
    EXPECT_EQ(Made, 2);
    EXPECT_EQ(Table.Count(), 2u);
  }
  EXPECT_EQ(Destroyed, (std::vector<std::string>{"beta", "alpha"}));
}

TEST(InstanceTable, AFailedCreationEntersNothingAndTheNextCallTriesAgain) {
  TDSHashtableInstanceProvider Table([](const TDSClassInfo&, std::unique_ptr<TDSServerObject>) {});
  TDSClassInfo A = InfoOf("TAlpha");
  A.LifeCycle = "Session";
  EXPECT_THROW(Table.GetInstance(A, []() -> std::unique_ptr<TDSServerObject> { throw std::runtime_error("no"); }),
               std::runtime_error);
  const TDBXError Error = ErrorOf([&] { Table.GetInstance(A, [] { return std::unique_ptr<TDSServerObject>(); }); });
  EXPECT_EQ(Error.ErrorCode(), 0);
  EXPECT_EQ(Error.Message(), "Unknown LifeCycle:  Session");
  EXPECT_EQ(Table.Count(), 0u);
  Table.GetInstance(A, [] { return std::make_unique<TNamed>("made"); });
  EXPECT_EQ(Table.Count(), 1u);
}

TEST(InstanceTable, AFailingDestroyDoesNotKeepTheOthersAlive) {
  std::vector<std::string> Destroyed;
  TDSHashtableInstanceProvider Table([&](const TDSClassInfo&, std::unique_ptr<TDSServerObject> Instance) {
    const std::string Name = dynamic_cast<TNamed&>(*Instance).Name;
    Destroyed.push_back(Name);
    if (Name == "beta") throw std::runtime_error("beta refused to go");
  });
  const TDSClassInfo A = InfoOf("TAlpha"), B = InfoOf("TBeta"), C = InfoOf("TGamma");
  for (const auto* Info : {&A, &B, &C}) {
    Table.GetInstance(*Info, [Info] { return std::make_unique<TNamed>(Info->ClassName == "TBeta" ? "beta" : "other"); });
  }
  EXPECT_THROW(Table.Clear(), std::runtime_error);
  EXPECT_EQ(Destroyed.size(), 3u);
  EXPECT_EQ(Table.Count(), 0u);
}

// --- Create and destroy hooks ---------------------------------------------------------------

struct TModuleClass {
  TModuleClass() {
    Info.ClassName = "TTestModule";
    Info.LifeCycle = "Session";
    Info.Declaration = &TDSProviderDataModuleAdapter::Declaration();
    Info.WrappedDeclaration = &TestModuleDeclaration();
    Info.ServerClass = &Component;
  }
  TDSServerClass Component;
  TDSClassInfo Info;
  TDSCreateInstanceEventObject CreateEvent;
  TDSDestroyInstanceEventObject DestroyEvent;
};

TEST(InstanceHooks, AnAdaptedClassGetsItsAdapterAroundWhateverMadeTheModule) {
  TModuleClass M;
  // Without a hook, and with one that leaves the event empty: made from the declaration.
  for (const bool WithHook : {false, true}) {
    if (WithHook) M.Component.OnCreateInstance = [](TDSCreateInstanceEventObject&) {};
    auto Instance = CreateServerClassInstance(M.Info, M.CreateEvent);
    auto* Adapter = dynamic_cast<TDSProviderDataModuleAdapter*>(Instance.get());
    ASSERT_NE(Adapter, nullptr);
    EXPECT_NE(dynamic_cast<TTestModule*>(Adapter->Module()), nullptr);
  }
  TTestModule* Supplied = nullptr;
  M.Component.OnCreateInstance = [&](TDSCreateInstanceEventObject& Event) {
    auto Module = std::make_unique<TTestModule>();
    Supplied = Module.get();
    Event.ServerClassInstance = std::move(Module);
  };
  auto Instance = CreateServerClassInstance(M.Info, M.CreateEvent);
  EXPECT_EQ(dynamic_cast<TDSProviderDataModuleAdapter&>(*Instance).Module(), Supplied);
  EXPECT_EQ(M.CreateEvent.ServerClassInstance, nullptr);

  // A hook that supplies something else cannot be adapted.
  M.Component.OnCreateInstance = [](TDSCreateInstanceEventObject& Event) {
    Event.ServerClassInstance = std::make_unique<TNamed>("not a module");
  };
  EXPECT_EQ(ErrorOf([&] { CreateServerClassInstance(M.Info, M.CreateEvent); }).Message(),
            TDSAdapterErrors::kNotAModule);
}

TEST(InstanceHooks, TheDestroyHookIsGivenTheModuleAndWhatItLeavesIsFreed) {
  TModuleClass M;
  const int Before = TTestModule::Live;
  std::unique_ptr<TDSServerObject> Kept;
  bool Keep = false;
  TDSServerObject* Seen = nullptr;
  M.Component.OnDestroyInstance = [&](TDSDestroyInstanceEventObject& Event) {
    Seen = Event.ServerClassInstance.get();
    if (Keep) Kept = std::move(Event.ServerClassInstance);
  };
  for (const bool KeepIt : {false, true}) {
    SCOPED_TRACE(KeepIt ? "hook keeps it" : "hook leaves it");
    Keep = KeepIt;
    auto Instance = CreateServerClassInstance(M.Info, M.CreateEvent);
    TDSServerObject* Module = dynamic_cast<TDSProviderDataModuleAdapter&>(*Instance).Module();
    DestroyServerClassInstance(M.Info, std::move(Instance), M.DestroyEvent);
    EXPECT_EQ(Seen, Module);
    EXPECT_EQ(M.DestroyEvent.ServerClassInstance, nullptr);
    EXPECT_EQ(TTestModule::Live, Before + (KeepIt ? 1 : 0));
  }
  Kept.reset();
  EXPECT_EQ(TTestModule::Live, Before);

  // A failing hook still leaves nothing behind.
  M.Component.OnDestroyInstance = [](TDSDestroyInstanceEventObject&) { throw std::runtime_error("hook"); };
  EXPECT_THROW(DestroyServerClassInstance(M.Info, CreateServerClassInstance(M.Info, M.CreateEvent), M.DestroyEvent),
               std::runtime_error);
  EXPECT_EQ(TTestModule::Live, Before);
}

// --- Life cycles through the registry -------------------------------------------------------

struct TLifeRegistry {
  TLifeRegistry() {
    for (auto* Component : {Session.get(), Invocation.get(), Server.get()}) Registry.AddServerClass(*Component);
    Registry.Open();
  }
  TLifeCounters SessionCounters, InvocationCounters, ServerCounters;
  const TDSClassDeclaration SessionClass = CountedDeclaration("TLifeSession", SessionCounters);
  const TDSClassDeclaration InvocationClass = CountedDeclaration("TLifeInvocation", InvocationCounters);
  const TDSClassDeclaration ServerClass = CountedDeclaration("TLifeServer", ServerCounters);
  std::unique_ptr<TDSServerClass> Session = ServerClassOf(SessionClass, "Session");
  std::unique_ptr<TDSServerClass> Invocation = ServerClassOf(InvocationClass, "Invocation");
  std::unique_ptr<TDSServerClass> Server = ServerClassOf(ServerClass, "Server");
  TDSServerMethodProvider Registry;
};

TDSServerObject* InstanceOf(const IDSPreparedServerMethod& Method) {
  return dynamic_cast<const TDSServerMethod&>(Method).MethodInstance();
}

TEST(LifeCycle, SessionInstancesBelongToTheirConnectionAndGoWithIt) {
  TLifeRegistry R;
  auto First = std::make_unique<TRegistryChain>(R.Registry);
  TRegistryChain Second(R.Registry);
  {
    const auto A1 = R.Registry.Prepare(u"TLifeSession.Id", *First->Server, false);
    const auto A2 = R.Registry.Prepare(u"tlifesession.id", *First->Server, false);
    const auto B = R.Registry.Prepare(u"TLifeSession.Id", *Second.Server, false);
    EXPECT_EQ(InstanceOf(*A1), InstanceOf(*A2));
    EXPECT_NE(InstanceOf(*A1), InstanceOf(*B));
  }
  EXPECT_EQ(R.SessionCounters.Created, 2);
  EXPECT_EQ(First->Server->InstanceCount(), 1u);

  // Commands that are still open go first, then the instances, with the handler.
  TDBXPrepareMessage Prepare;
  Prepare.FCommandType = u"Corvane.ServerMethod";
  Prepare.FCommand = u"TLifeSession.Id";
  First->Server->DbxPrepare(Prepare);
  First.reset();
  EXPECT_EQ(R.SessionCounters.Destroyed, 1);
  EXPECT_EQ(R.SessionCounters.Live(), 1);
}

TEST(LifeCycle, AServerInstanceIsSharedByAllConnectionsUntilTheRegistryCloses) {
  TLifeRegistry R;
  {
    TRegistryChain First(R.Registry), Second(R.Registry);
    const auto A = R.Registry.Prepare(u"TLifeServer.Id", *First.Server, false);
    const auto B = R.Registry.Prepare(u"TLifeServer.Id", *Second.Server, false);
    EXPECT_EQ(InstanceOf(*A), InstanceOf(*B));
    EXPECT_EQ(First.Server->InstanceCount(), 0u);
  }
  EXPECT_EQ(R.ServerCounters.Live(), 1);
  EXPECT_EQ(R.Registry.ServerInstanceCount(), 1u);
  R.Registry.Close();
  EXPECT_EQ(R.ServerCounters.Created, 1);
  EXPECT_EQ(R.ServerCounters.Destroyed, 1);
}

TEST(LifeCycle, AnInvocationInstanceBelongsToItsCommandAndIsRenewedOnRequest) {
  TLifeRegistry R;
  TRegistryChain Chain(R.Registry);
  auto Method = R.Registry.Prepare(u"TLifeInvocation.Id", *Chain.Server, false);
  EXPECT_EQ(Method->LifeCycle(), "Invocation");
  Call(*Method);
  const std::int32_t FirstId = Holder<TDBXInt32Value>(*Method, 0).GetInt32();
  Method->ReleaseInstance();
  EXPECT_EQ(R.InvocationCounters.Live(), 0);
  Method->RenewInstance();
  Call(*Method);
  EXPECT_NE(Holder<TDBXInt32Value>(*Method, 0).GetInt32(), FirstId);
  Method->RenewInstance();
  EXPECT_EQ(R.InvocationCounters.Created, 3);
  EXPECT_EQ(R.InvocationCounters.Live(), 1);
  Method.reset();
  EXPECT_EQ(R.InvocationCounters.Live(), 0);
  EXPECT_EQ(Chain.Server->InstanceCount(), 0u);
}

TEST(LifeCycle, AnyOtherLifeCycleTextFailsThePrepareAsStored) {
  for (const std::string Text : {"session", "SERVER", "Invocation ", "PerCall"}) {
    SCOPED_TRACE(Text);
    TLifeCounters Counters;
    const TDSClassDeclaration Counted = CountedDeclaration("TOdd", Counters);
    auto Component = ServerClassOf(Counted, Text);
    TDSServerMethodProvider Registry;
    Registry.AddServerClass(*Component);
    Registry.Open();
    TRegistryChain Chain(Registry);
    const TDBXError Error = ErrorOf([&] { Registry.Prepare(u"TOdd.Id", *Chain.Server, false); });
    EXPECT_EQ(Error.ErrorCode(), 0);
    EXPECT_EQ(Error.Message(), "Unknown LifeCycle:  " + Text);
    EXPECT_EQ(Counters.Created, 0);
  }
  // An empty text counts as "Server".
  TLifeCounters Counters;
  const TDSClassDeclaration Counted = CountedDeclaration("TOdd", Counters);
  auto Component = ServerClassOf(Counted, "");
  TDSServerMethodProvider Registry;
  Registry.AddServerClass(*Component);
  Registry.Open();
  TRegistryChain Chain(Registry);
  Registry.Prepare(u"TOdd.Id", *Chain.Server, false);
  EXPECT_EQ(Registry.ServerInstanceCount(), 1u);
}

class TFakeAdmin : public TDSCustomAdmin {};

TEST(LifeCycle, ABuiltInInstanceIsHandedItsConnectionAndEventsSeeTheInstance) {
  TDSClassDeclaration Admin;
  Admin.ClassName = "DSAdmin";
  Admin.Create = [] { return std::make_unique<TFakeAdmin>(); };
  Admin.Methods.push_back(Method("GetPlatformName", {}, Type("string"), [](TDSServerObject&, TDSMethodCall& Call) {
    Call.SetResult(std::u16string(u"win32"));
  }));
  TDSServerMethodProvider Registry({&Admin});
  auto Types = ServerClassOf(TypesDeclaration());
  std::vector<std::string> Fired;
  Types->OnPrepare = [&](TDSPrepareEventObject& Event) {
    Fired.push_back("class " + Event.MethodAlias + (dynamic_cast<TTypesServer*>(Event.MethodInstance) ? " on TTypes" : ""));
  };
  Registry.AddServerClass(*Types);
  Registry.Open();
  TRegistryChain Chain(Registry);
  Chain.Events.OnPrepare = [&](TDSPrepareEventObject& Event) { Fired.push_back("server " + Event.MethodAlias); };

  const auto Method = Registry.Prepare(u"DSAdmin.GetPlatformName", *Chain.Server, false);
  auto* Instance = dynamic_cast<TFakeAdmin*>(InstanceOf(*Method));
  ASSERT_NE(Instance, nullptr);
  EXPECT_EQ(Instance->ConnectionHandler(), Chain.Server);
  Registry.Prepare(u"TTypes.Nothing", *Chain.Server, false);
  EXPECT_EQ(Fired, (std::vector<std::string>{"server DSAdmin.GetPlatformName", "class TTypes.Nothing on TTypes",
                                             "server TTypes.Nothing"}));
}

}  // namespace
}  // namespace tavrin
