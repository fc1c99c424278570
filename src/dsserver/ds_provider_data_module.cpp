#include "dsserver/ds_provider_data_module.h"

#include "dsserver/dbx_error.h"
#include "dsserver/unicode_text.h"

namespace tavrin {

void TProviderDataModule::RaiseNotExported(const std::u16string& ProviderName) {
  throw TDBXError(TDSProviderErrors::kCode, TDSProviderErrors::kNotExported + ToUtf8(ProviderName));
}

std::u16string TProviderDataModule::AS_GetProviderNames() { return {}; }

TDSVariant TProviderDataModule::AS_ApplyUpdates(const std::u16string& ProviderName, const TDSVariant&,
                                                std::int32_t, std::int32_t&, TDBXStreamValue&) {
  RaiseNotExported(ProviderName);
}

TDSVariant TProviderDataModule::AS_GetRecords(const std::u16string& ProviderName, std::int32_t,
                                              std::int32_t&, std::int32_t, const std::u16string&,
                                              TDBXStreamValue&, TDBXStreamValue&) {
  RaiseNotExported(ProviderName);
}

TDSVariant TProviderDataModule::AS_DataRequest(const std::u16string& ProviderName, const TDSVariant&) {
  RaiseNotExported(ProviderName);
}

TDSVariant TProviderDataModule::AS_GetParams(const std::u16string& ProviderName, TDBXStreamValue&) {
  RaiseNotExported(ProviderName);
}

TDSVariant TProviderDataModule::AS_RowRequest(const std::u16string& ProviderName, const TDSVariant&,
                                              std::int32_t) {
  RaiseNotExported(ProviderName);
}

void TProviderDataModule::AS_Execute(const std::u16string& ProviderName, const std::u16string&,
                                     TDBXStreamValue&, TDBXStreamValue&) {
  RaiseNotExported(ProviderName);
}

}  // namespace tavrin
