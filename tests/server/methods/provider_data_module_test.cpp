// A provider data module's list of providers: which names it reports, how a call finds
// its provider, and that each provider operation reaches the provider found with the
// call's arguments.

#include "server/methods/provider_data_module.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/variant_stream.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

// Answers each operation with a text naming it and what it was given.
class TFakeProvider : public IDSProvider {
 public:
  TFakeProvider(std::string Name, bool Exported = true) : FName(std::move(Name)), FExported(Exported) {}

  const std::string& Name() const override { return FName; }
  bool Exported() const override { return FExported; }

  TDSVariant ApplyUpdates(const TDSVariant& Delta, std::int32_t MaxErrors, std::int32_t& ErrorCount,
                          TDSVariant& OwnerData) override {
    ErrorCount = MaxErrors + 1;
    return Answer("ApplyUpdates " + Text(Delta) + Touch(OwnerData));
  }
  TDSVariant GetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                        const std::u16string& CommandText, TDSVariant& Params, TDSVariant& OwnerData) override {
    RecsOut = Count + 1;
    return Answer("GetRecords " + std::to_string(Options) + " " + ToUtf8(CommandText) + Touch(Params) +
                  Touch(OwnerData));
  }
  TDSVariant DataRequest(const TDSVariant& Data) override { return Answer("DataRequest " + Text(Data)); }
  TDSVariant GetParams(TDSVariant& OwnerData) override { return Answer("GetParams" + Touch(OwnerData)); }
  TDSVariant RowRequest(const TDSVariant& Row, std::int32_t RequestType, TDSVariant& OwnerData) override {
    return Answer("RowRequest " + Text(Row) + " " + std::to_string(RequestType) + Touch(OwnerData));
  }
  void Execute(const std::u16string& CommandText, TDSVariant& Params, TDSVariant& OwnerData) override {
    LastCall = "Execute " + ToUtf8(CommandText) + Touch(Params) + Touch(OwnerData);
  }

  std::string LastCall;

 private:
  static std::string Text(const TDSVariant& Value) { return ToUtf8(std::get<std::u16string>(Value.Value)); }
  // Names a stream parameter's variant as it arrived and marks it, so that the caller
  // sees the change come back.
  static std::string Touch(TDSVariant& Value) {
    const std::string Was = " " + Text(Value);
    Value = TDSVariant(ToUtf16(Was.substr(1) + "+"));
    return Was;
  }
  TDSVariant Answer(std::string Call) {
    LastCall = Call;
    return TDSVariant{ToUtf16(FName + ": " + Call)};
  }

  std::string FName;
  bool FExported;
};

std::string Names(const TProviderDataModule& Module) { return ToUtf8(Module.AS_GetProviderNames()); }

TEST(ProviderDataModule, ReportsTheExportedProvidersSortedIgnoringCase) {
  TProviderDataModule Module;
  EXPECT_EQ(Module.AS_GetProviderNames(), u"");
  TFakeProvider Hidden("Hidden", false);
  Module.RegisterProvider(Hidden);
  EXPECT_EQ(Names(Module), "");

  TFakeProvider Zeta("zeta"), Alpha("Alpha"), Zed("Zed"), Beta("beta");
  for (TFakeProvider* Provider : {&Zeta, &Alpha, &Zed, &Beta}) Module.RegisterProvider(*Provider);
  // Sorting by bytes would put the capitals first: "Alpha,Zed,beta,zeta".
  EXPECT_EQ(Names(Module), "Alpha,beta,Zed,zeta");

  Module.UnRegisterProvider(Zed);
  Module.UnRegisterProvider(Zed);  // no longer there: nothing happens
  EXPECT_EQ(Names(Module), "Alpha,beta,zeta");
}

TEST(ProviderDataModule, FindsTheFirstProviderBearingTheNameIgnoringCase) {
  TProviderDataModule Module;
  TFakeProvider Est("dsEst1"), Hidden("hidden", false), TwinOff("twin", false), TwinOn("TWIN");
  for (TFakeProvider* Provider : {&Est, &Hidden, &TwinOff, &TwinOn}) Module.RegisterProvider(*Provider);

  for (const char16_t* Name : {u"dsEst1", u"DSEST1", u"dsest1"}) {
    EXPECT_EQ(&Module.GetProvider(Name), &Est) << ToUtf8(Name);
  }
  // Unknown names, an unexported provider, and a name whose first bearer is unexported
  // although a later one is not.
  for (const char16_t* Name : {u"", u"dsEst", u"dsEst1 ", u"hidden", u"Twin"}) {
    const TDBXError Error = ErrorOf([&] { Module.GetProvider(Name); });
    EXPECT_EQ(Error.ErrorCode(), 5);
    EXPECT_EQ(Error.Message(), "Provider not exported: " + ToUtf8(Name));
  }
  Module.UnRegisterProvider(TwinOff);
  EXPECT_EQ(&Module.GetProvider(u"Twin"), &TwinOn);
}

TEST(ProviderDataModule, EachOperationReachesTheNamedProviderWithItsArgumentsAndStreamsGoBothWays) {
  TProviderDataModule Module;
  TFakeProvider Other("other"), Est("dsEst1");
  Module.RegisterProvider(Other);
  Module.RegisterProvider(Est);
  // The stream parameters carry variants in their stream form, decoded for the provider
  // and encoded again with what it left in them.
  TDBXStreamValue Params, OwnerData;
  const auto Reset = [&] {
    Params.SetStream(EncodeVariantStream(TDSVariant(std::u16string(u"p"))));
    OwnerData.SetStream(EncodeVariantStream(TDSVariant(std::u16string(u"o"))));
  };
  const auto StreamText = [](const TDBXStreamValue& Value) {
    return ToUtf8(std::get<std::u16string>(DecodeVariantStream(Value.GetStream().get()).Value));
  };
  std::int32_t Out = 0;
  const struct {
    const char* Expected;
    std::function<TDSVariant(const std::u16string&)> Call;
    std::int32_t ExpectedOut;
    bool ParamsBack;
  } Cases[] = {
      {"ApplyUpdates delta o",
       [&](const std::u16string& Name) { return Module.AS_ApplyUpdates(Name, {u"delta"}, 6, Out, OwnerData); }, 7,
       false},
      {"GetRecords 4 select p o",
       [&](const std::u16string& Name) {
         return Module.AS_GetRecords(Name, -1, Out, 4, u"select", Params, OwnerData);
       },
       0, true},
      {"DataRequest data", [&](const std::u16string& Name) { return Module.AS_DataRequest(Name, {u"data"}); }, -9,
       false},
      {"GetParams o", [&](const std::u16string& Name) { return Module.AS_GetParams(Name, OwnerData); }, -9, false},
      {"RowRequest row 2 o",
       [&](const std::u16string& Name) { return Module.AS_RowRequest(Name, {u"row"}, 2, OwnerData); }, -9, false},
      {"Execute run p o",
       [&](const std::u16string& Name) {
         Module.AS_Execute(Name, u"run", Params, OwnerData);
         return TDSVariant{u"dsEst1: " + ToUtf16(Est.LastCall)};
       },
       -9, true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Expected);
    Out = -9;
    Est.LastCall.clear();
    Reset();
    EXPECT_EQ(Case.Call(u"DSEST1"), TDSVariant{u"dsEst1: " + ToUtf16(Case.Expected)});
    EXPECT_EQ(Est.LastCall, Case.Expected);
    EXPECT_EQ(Out, Case.ExpectedOut);
    EXPECT_EQ(StreamText(Params), Case.ParamsBack ? "p+" : "p");
    const bool OwnerBack = std::string(Case.Expected).ends_with(" o");
    EXPECT_EQ(StreamText(OwnerData), OwnerBack ? "o+" : "o");
    EXPECT_EQ(Other.LastCall, "");
    // A failing call leaves its streams as they came.
    Reset();
    EXPECT_EQ(ErrorOf([&] { Case.Call(u"dsEst2"); }).Message(), "Provider not exported: dsEst2");
    EXPECT_EQ(StreamText(OwnerData), "o");
  }
}

}  // namespace
}  // namespace tavrin
