#pragma once
// TDataSetProvider: the provider that serves one dataset to clients, with the settings
// that shape its packets and how changes sent back are applied.
//
// Reading and applying are not part of this version of the server: every operation
// raises TDBXError (TProviderErrors), "Missing DataSet property" first when no dataset
// is set.
//
// Threading: a provider is used by the thread that uses its owner.

#include <cstdint>
#include <string>

#include "server/methods/provider_data_module.h"
#include "provider/custom_provider.h"
#include "provider/provider_options.h"

namespace tavrin {

class TDataSet;

namespace TProviderErrors {
inline constexpr char kMissingDataSet[] = "Missing DataSet property";
// "<method> is not available yet on provider <name>"
inline constexpr char kNotAvailable[] = " is not available yet on provider ";
}  // namespace TProviderErrors

class TDataSetProvider : public TCustomProvider {
 public:
  using TCustomProvider::TCustomProvider;

  // The dataset served; not owned, and it must outlive its use here. Null until set.
  TDataSet* DataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* Value) { FDataSet = Value; }

  // Default: poUseQuoteChar only.
  TProviderOptions Options() const { return FOptions; }
  void SetOptions(TProviderOptions Value) { FOptions = Value; }
  // Default: upWhereAll.
  TUpdateMode UpdateMode() const { return FUpdateMode; }
  void SetUpdateMode(TUpdateMode Value) { FUpdateMode = Value; }
  // Whether changes are applied through the dataset rather than generated SQL statements.
  // Default: false.
  bool ResolveToDataSet() const { return FResolveToDataSet; }
  void SetResolveToDataSet(bool Value) { FResolveToDataSet = Value; }
  // Whether packets carry the dataset's constraints. Default: true.
  bool Constraints() const { return FConstraints; }
  void SetConstraints(bool Value) { FConstraints = Value; }

  TDSVariant ApplyUpdates(const TDSVariant& Delta, std::int32_t MaxErrors, std::int32_t& ErrorCount,
                          TDBXStreamValue& OwnerData) override;
  TDSVariant GetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                        const std::u16string& CommandText, TDBXStreamValue& Params,
                        TDBXStreamValue& OwnerData) override;
  TDSVariant DataRequest(const TDSVariant& Data) override;
  TDSVariant GetParams(TDBXStreamValue& OwnerData) override;
  TDSVariant RowRequest(const TDSVariant& Row, std::int32_t RequestType) override;
  void Execute(const std::u16string& CommandText, TDBXStreamValue& Params, TDBXStreamValue& OwnerData) override;

 private:
  // Raises "Missing DataSet property" without a dataset, else that Method is not
  // available.
  [[noreturn]] void RaiseNotAvailable(const char* Method) const;

  TDataSet* FDataSet = nullptr;
  TProviderOptions FOptions = TProviderOption::Default;
  TUpdateMode FUpdateMode = TUpdateMode::upWhereAll;
  bool FResolveToDataSet = false;
  bool FConstraints = true;
};

}  // namespace tavrin
