#include "provider/custom_provider.h"

#include <utility>

#include "server/methods/provider_data_module.h"

namespace tavrin {

TCustomProvider::TCustomProvider(TProviderDataModule* Owner, std::string Name)
    : FOwner(Owner), FName(std::move(Name)) {
  if (FOwner != nullptr) FOwner->RegisterProvider(*this);
}

TCustomProvider::~TCustomProvider() {
  if (FOwner != nullptr) FOwner->UnRegisterProvider(*this);
}

TDSVariant TCustomProvider::DataRequest(const TDSVariant& Data) {
  if (OnDataRequest) return OnDataRequest(*this, Data);
  return TDSVariant::Null();
}

}  // namespace tavrin
