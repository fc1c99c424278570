// A dataset provider found through its owning module as a client's call finds it: the
// records whole and in pages with the dataset opened and closed as the reset rules say,
// failures that reset, command texts and parameters, the events, and the operations that
// are not there yet.

#include "provider/data_set_provider.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/packet_values.h"
#include "provider/memory_data_set.h"
#include "provider/provider_params.h"
#include "support/error_of.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/variant_stream.h"

namespace tavrin {
namespace {

using namespace testing;
using FT = TFieldType;
namespace G = TGetRecordOption;
using Texts = std::vector<std::string>;

// Counts what the provider asks of its dataset besides the records.
class TRecordingSupport : public IProviderSupport {
 public:
  std::vector<TProviderParam> Params() const override { return FParams; }
  void SetParams(const std::vector<TProviderParam>& Params) override {
    Calls.push_back("SetParams " + std::to_string(Params.size()));
    FParams = Params;
  }
  void SetCommandText(const std::string& Text) override { Calls.push_back("SetCommandText " + Text); }
  void Execute() override {
    Calls.push_back("Execute");
    for (TProviderParam& Param : FParams) {
      if (Param.ParamType == TParamType::ptOutput) Param.Value = std::int32_t{42};
    }
  }
  void Reset() override { Calls.push_back("Reset"); }
  void EndRequest() override { Calls.push_back("EndRequest"); }

  std::vector<TProviderParam> FParams;
  Texts Calls;
};

// Three products in a module of their own, served by dsEst1.
class DataSetProviderTest : public ::testing::Test {
 protected:
  DataSetProviderTest() { Provider.SetDataSet(&DataSet, &Support); }

  // The codes of a packet's rows; "null" for a null result.
  static Texts Codes(const TDSVariant& Packet) {
    if (Packet.IsNull()) return {"null"};
    const TDSBase Base(std::get<std::vector<std::uint8_t>>(Packet.Value));
    Texts Result;
    for (TDSCursor Cursor(Base); !Cursor.Eof(); Cursor.Next()) {
      Result.push_back(*ValueText(Base.Level().Columns[0].TypeWord, Cursor.Value(0).Data));
    }
    return Result;
  }
  TDSVariant Get(std::int32_t Count, std::int32_t Options = 0) {
    RecsOut = -7;
    return Module.AS_GetRecords(u"dsEst1", Count, RecsOut, Options, u"", ParamStream, OwnerStream);
  }

  TProviderDataModule Module;
  TDataSetProvider Provider{&Module, "dsEst1"};
  TMemoryDataSet DataSet{{FieldOf("codigo", FT::ftInteger), FieldOf("produto", FT::ftWideString, 60)},
                         {{std::int64_t{3}, std::string("Arroz")},
                          {std::int64_t{1}, std::string("Caf\u00e9")},
                          {std::int64_t{2}, std::string("Feij\u00e3o")}}};
  TRecordingSupport Support;
  TDBXStreamValue ParamStream, OwnerStream;
  std::int32_t RecsOut = -7;
};

TEST_F(DataSetProviderTest, RequestsOpenAndCloseTheDataSetAsTheResetRulesSay) {
  struct TStep {
    std::int32_t Count;
    std::int32_t Options;
    Texts Rows;  // {} for a packet of columns only
    std::int32_t RecsOut;
    bool OpenAfter;
  };
  const struct {
    const char* Name;
    std::vector<TStep> Steps;
    int Opens = 1;  // and as many closings
  } Cases[] = {
      {"all rows", {{-1, 0, {"3", "1", "2"}, 3, false}}},
      {"pages of 2", {{2, 0, {"3", "1"}, 2, true}, {2, 0, {"2"}, 1, false}}},
      // A full last page leaves the dataset at its end; the next, empty, page closes it.
      {"pages of 3", {{3, 0, {"3", "1", "2"}, 3, true}, {3, 0, {}, 0, false}}},
      {"metadata, then reset", {{0, 0, {}, 0, true}, {0, G::grReset, {"null"}, 0, false}}},
      // The reset closes what the provider opened; reading opens it again.
      {"reset starts over",
       {{2, 0, {"3", "1"}, 2, true}, {2, G::grReset, {"3", "1"}, 2, true}, {-1, 0, {"2"}, 1, false}},
       2},
      {"metadata with rows", {{-1, G::grMetaData, {"3", "1", "2"}, 3, false}}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    DataSet.Opens = DataSet.Closes = 0;
    Support.Calls.clear();
    int Step = 0;
    for (const TStep& Expected : Case.Steps) {
      SCOPED_TRACE(Step++);
      EXPECT_EQ(Codes(Get(Expected.Count, Expected.Options)), Expected.Rows);
      EXPECT_EQ(RecsOut, Expected.RecsOut);
      EXPECT_EQ(DataSet.Active(), Expected.OpenAfter);
    }
    // Closed as often as opened: the list ended.
    EXPECT_EQ(DataSet.Opens, Case.Opens);
    EXPECT_EQ(DataSet.Closes, Case.Opens);
    EXPECT_FALSE(Provider.DataSetOpened());
    EXPECT_EQ(Provider.RecordsSent(), 0);
  }
}

TEST_F(DataSetProviderTest, ADataSetLeftOpenGivesUpTheDatabaseAtTheEndOfEachRequest) {
  Get(1);
  Get(1);
  EXPECT_EQ(Support.Calls, (Texts{"EndRequest", "EndRequest"}));
  EXPECT_EQ(Provider.RecordsSent(), 2);
  Support.Calls.clear();
  Get(-1);  // the rest, then the reset closes it
  EXPECT_EQ(Support.Calls, (Texts{"Reset"}));
}

TEST_F(DataSetProviderTest, ADataSetOpenedByAnotherStaysOpenAndGoesBackToItsFirstRecord) {
  DataSet.Open();
  DataSet.Next();
  EXPECT_EQ(Codes(Get(-1)), (Texts{"1", "2"}));
  EXPECT_TRUE(DataSet.Active());
  EXPECT_EQ(DataSet.RecNo(), 1u);
  EXPECT_EQ(DataSet.Closes, 0);
}

TEST_F(DataSetProviderTest, AFailureResetsAndTravelsOn) {
  DataSet.FailAtRecord = 2;
  EXPECT_EQ(ErrorOf([&] { Get(-1); }).Message(), "disk I/O error");
  EXPECT_FALSE(DataSet.Active());
  EXPECT_EQ(DataSet.Closes, 1);
  // The next request starts over.
  DataSet.FailAtRecord = 0;
  EXPECT_EQ(Codes(Get(-1)), (Texts{"3", "1", "2"}));

  DataSet.Opens = DataSet.Closes = 0;
  DataSet.FailOpen = true;
  EXPECT_EQ(ErrorOf([&] { Get(-1); }).Message(), "Table not found: tabest1");
  EXPECT_EQ(DataSet.Opens, 0);
  EXPECT_EQ(DataSet.Closes, 0);
  EXPECT_FALSE(Provider.DataSetOpened());
}

TEST_F(DataSetProviderTest, CommandTextsNeedTheirOptionAndParametersReachTheDataSet) {
  const TDBXError Refused = ErrorOf([&] { Module.AS_GetRecords(u"dsEst1", -1, RecsOut, 0, u"select 1", ParamStream, OwnerStream); });
  EXPECT_EQ(Refused.Message(), "CommandText changes are not allowed");
  EXPECT_EQ(Refused.ErrorCode(), 5);
  EXPECT_EQ(DataSet.Opens, 0);
  // A reset with Count 0 takes neither.
  EXPECT_TRUE(Module.AS_GetRecords(u"dsEst1", 0, RecsOut, G::grReset, u"select 1", ParamStream, OwnerStream).IsNull());

  Provider.SetOptions(TProviderOption::poAllowCommandText);
  TProviderParam In{"pNome", std::u16string(u"a"), FT::ftWideString, TParamType::ptInput, 10, 0, 0};
  TProviderParam Out{"pTotal", TDSVariant::Null(), FT::ftInteger, TParamType::ptOutput, 0, 0, 0};
  const auto SendBoth = [&] {
    ParamStream.SetStream(EncodeVariantStream(PackProviderParams({In, Out}, {TParamType::ptInput, TParamType::ptOutput})));
  };
  const auto Returned = [&] { return UnpackProviderParams(DecodeVariantStream(ParamStream.GetStream().get())); };
  SendBoth();
  Get(-1);
  EXPECT_EQ(Provider.Params(), (std::vector<TProviderParam>{In, Out}));
  // Params that came as an array go back packed: all kinds after a page of records, only
  // the outward ones after a request for all of them or for none.
  EXPECT_EQ(Returned(), (std::vector<TProviderParam>{Out}));
  SendBoth();
  Support.Calls.clear();
  Module.AS_GetRecords(u"dsEst1", 2, RecsOut, 0, u"select 2", ParamStream, OwnerStream);
  // The same parameters again are not handed over again.
  EXPECT_EQ(Support.Calls, (Texts{"SetCommandText select 2", "EndRequest"}));
  EXPECT_EQ(Returned(), (std::vector<TProviderParam>{In, Out}));

  // Execute runs the command and hands back the outward parameters.
  Support.Calls.clear();
  Module.AS_Execute(u"dsEst1", u"update x", ParamStream, OwnerStream);
  EXPECT_EQ(Support.Calls, (Texts{"SetCommandText update x", "Execute"}));
  const auto Back = Returned();
  ASSERT_EQ(Back.size(), 1u);
  EXPECT_EQ(Back[0].Value, TDSVariant(std::int32_t{42}));
  // GetParams packs them all.
  EXPECT_EQ(UnpackProviderParams(Module.AS_GetParams(u"dsEst1", OwnerStream)), (std::vector<TProviderParam>{In, Back[0]}));
}

TEST_F(DataSetProviderTest, EventsSurroundEachOperationAndMayChangeTheOwnerData) {
  Texts Fired;
  const auto Event = [&Fired](const char* Name) {
    return [&Fired, Name](TCustomProvider&, TDSVariant& OwnerData) {
      Fired.push_back(std::string(Name) + " " + (OwnerData.IsNull() ? "null" : ToUtf8(std::get<std::u16string>(OwnerData.Value))));
      OwnerData = std::u16string(ToUtf16(Name));
    };
  };
  Provider.BeforeGetRecords = Event("BeforeGetRecords");
  Provider.AfterGetRecords = Event("AfterGetRecords");
  Provider.BeforeGetParams = Event("BeforeGetParams");
  Provider.AfterGetParams = Event("AfterGetParams");
  Provider.BeforeExecute = Event("BeforeExecute");
  Provider.AfterExecute = Event("AfterExecute");
  Get(-1);
  Module.AS_GetParams(u"dsEst1", OwnerStream);
  Module.AS_Execute(u"dsEst1", u"", ParamStream, OwnerStream);
  EXPECT_EQ(Fired, (Texts{"BeforeGetRecords null", "AfterGetRecords BeforeGetRecords", "BeforeGetParams AfterGetRecords",
                          "AfterGetParams BeforeGetParams", "BeforeExecute AfterGetParams",
                          "AfterExecute BeforeExecute"}));
  EXPECT_EQ(DecodeVariantStream(OwnerStream.GetStream().get()), TDSVariant(std::u16string(u"AfterExecute")));
}

TEST_F(DataSetProviderTest, DataRequestsAndDataSetPropertiesComeFromTheirEvents) {
  EXPECT_TRUE(Module.AS_DataRequest(u"dsEst1", std::u16string(u"x")).IsNull());
  Provider.OnDataRequest = [](TCustomProvider&, const TDSVariant& Data) {
    return TDSVariant(std::u16string(u"got ") + std::get<std::u16string>(Data.Value));
  };
  EXPECT_EQ(Module.AS_DataRequest(u"dsEst1", std::u16string(u"x")), TDSVariant(std::u16string(u"got x")));

  Provider.OnGetDataSetProperties = [](TDataSetProvider&, TDataSet&) {
    return TDSVariant::Array(
        TVarType::varVariant,
        {TDSVariant::Array(TVarType::varVariant, {std::u16string(u"LOJA"), std::u16string(u"Centro"), true}),
         TDSVariant::Array(TVarType::varVariant, {std::u16string(u"SO_DOIS"), std::int32_t{1}}),  // skipped
         std::int32_t{5}});                                                                       // skipped
  };
  const TDSVariant Packet = Get(0);
  const TDSBase Base(std::get<std::vector<std::uint8_t>>(Packet.Value));
  ASSERT_EQ(Base.Level().Attributes.size(), 1u);
  EXPECT_EQ(Base.Level().Attributes[0].Name, "LOJA");
  EXPECT_TRUE(Base.Level().Attributes[0].InDelta());
}

TEST(DataSetProvider, OperationsWantADataSetAndWritingWantsADataSetThatWrites) {
  TProviderDataModule Module;
  TDataSetProvider Provider(&Module, "dsEst1");
  TDBXStreamValue Params, OwnerData;
  std::int32_t Out = -9;
  const struct {
    const char* Method;
    std::function<void()> Call;
  } Cases[] = {
      {"AS_ApplyUpdates", [&] { Module.AS_ApplyUpdates(u"DSEST1", {}, 0, Out, OwnerData); }},
      {"AS_GetRecords", [&] { Module.AS_GetRecords(u"DSEST1", -1, Out, 0, u"", Params, OwnerData); }},
      {"AS_GetParams", [&] { Module.AS_GetParams(u"DSEST1", OwnerData); }},
      {"AS_RowRequest", [&] { Module.AS_RowRequest(u"DSEST1", {}, 1, OwnerData); }},
      {"AS_Execute", [&] { Module.AS_Execute(u"DSEST1", u"", Params, OwnerData); }},
  };
  TMemoryDataSet DataSet({FieldOf("codigo", FT::ftInteger)}, {});
  for (TFieldsDataSet* Served : {static_cast<TFieldsDataSet*>(nullptr), static_cast<TFieldsDataSet*>(&DataSet)}) {
    Provider.SetDataSet(Served);
    for (const auto& Case : Cases) {
      SCOPED_TRACE(Case.Method);
      const std::string Method = Case.Method;
      const bool Writes = Method == "AS_ApplyUpdates" || Method == "AS_RowRequest";
      if (Served != nullptr && !Writes) continue;
      const TDBXError Error = ErrorOf(Case.Call);
      EXPECT_EQ(Error.ErrorCode(), 5);
      EXPECT_EQ(Error.Message(), Served == nullptr ? std::string("Missing DataSet property")
                                                   : Method + " is not available on provider dsEst1");
    }
  }
  EXPECT_EQ(Out, -9);
  // Without support of its own, a dataset takes no command and has no parameters.
  EXPECT_EQ(ErrorOf([&] { Module.AS_Execute(u"DSEST1", u"", Params, OwnerData); }).Message(),
            "The dataset has no command to execute");
  EXPECT_TRUE(Module.AS_GetParams(u"DSEST1", OwnerData).IsNull());
}

}  // namespace
}  // namespace tavrin
