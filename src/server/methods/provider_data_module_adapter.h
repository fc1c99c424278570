#pragma once
// TDSProviderDataModuleAdapter: the companion the server makes beside every instance of
// a class that descends from TProviderDataModule. The registry lists the class's own
// methods followed by the adapter's seven provider methods, all under the class's name;
// the class's methods run on the wrapped module, the provider methods on the adapter,
// which hands each to the module's operation of the same name.
//
// Threading: an adapter is used by the connection thread running the call.

#include <memory>

#include "server/methods/class_declaration.h"
#include "server/methods/provider_data_module.h"

namespace tavrin {

namespace TDSAdapterErrors {
inline constexpr char kNotAModule[] = "The instance to adapt is not a provider data module";
}  // namespace TDSAdapterErrors

class TDSProviderDataModuleAdapter : public TDSServerObject {
 public:
  static constexpr char kClassName[] = "TDSProviderDataModuleAdapter";

  // Takes Module over. Raises TDBXError (TDSAdapterErrors) when it is null or not a
  // TProviderDataModule; Module is freed then.
  explicit TDSProviderDataModuleAdapter(std::unique_ptr<TDSServerObject> Module);
  // Frees the module it still holds.
  ~TDSProviderDataModuleAdapter() override;

  // The wrapped module; null once taken.
  TProviderDataModule* Module() const { return FProviderDataModule.get(); }
  // Hands the module to the caller; the adapter is empty afterwards.
  std::unique_ptr<TProviderDataModule> TakeModule() { return std::move(FProviderDataModule); }

  // The adapter's published methods, in registry order: AS_ApplyUpdates, AS_GetRecords,
  // AS_DataRequest, AS_GetProviderNames, AS_GetParams, AS_RowRequest, AS_Execute.
  static const TDSClassDeclaration& Declaration();

 private:
  std::unique_ptr<TProviderDataModule> FProviderDataModule;
};

}  // namespace tavrin
