// What a dataset provider answers while its operations are not built, found through its
// owning module as a client's call finds it.

#include "provider/data_set_provider.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "dataset/data_set.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

class TEmptyDataSet : public TDataSet {
 public:
  std::int32_t FieldCount() const override { return 0; }
  const TDBXValueType& FieldDef(std::int32_t Index) const override { RaiseNoField(Index); }
  void First() override {}
  void Next() override {}
  bool Eof() const override { return true; }
  const TDBXValue& FieldValue(std::int32_t Index) override { RaiseNoField(Index); }
};

TEST(DataSetProvider, OperationsWantADataSetAndAreNotAvailableYet) {
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
      {"AS_DataRequest", [&] { Module.AS_DataRequest(u"DSEST1", {}); }},
      {"AS_GetParams", [&] { Module.AS_GetParams(u"DSEST1", OwnerData); }},
      {"AS_RowRequest", [&] { Module.AS_RowRequest(u"DSEST1", {}, 1); }},
      {"AS_Execute", [&] { Module.AS_Execute(u"DSEST1", u"", Params, OwnerData); }},
  };
  TEmptyDataSet DataSet;
  for (TDataSet* Served : {static_cast<TDataSet*>(nullptr), static_cast<TDataSet*>(&DataSet)}) {
    Provider.SetDataSet(Served);
    for (const auto& Case : Cases) {
      SCOPED_TRACE(Case.Method);
      const TDBXError Error = ErrorOf(Case.Call);
      EXPECT_EQ(Error.ErrorCode(), 5);
      EXPECT_EQ(Error.Message(), Served == nullptr ? std::string("Missing DataSet property")
                                                   : std::string(Case.Method) +
                                                         " is not available yet on provider dsEst1");
    }
  }
  EXPECT_EQ(Out, -9);
}

}  // namespace
}  // namespace tavrin
