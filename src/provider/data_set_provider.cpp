#include "provider/data_set_provider.h"

#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {
// The names clients call the operations by, for the error texts.
constexpr char kApplyUpdates[] = "AS_ApplyUpdates";
constexpr char kGetRecords[] = "AS_GetRecords";
constexpr char kDataRequest[] = "AS_DataRequest";
constexpr char kGetParams[] = "AS_GetParams";
constexpr char kRowRequest[] = "AS_RowRequest";
constexpr char kExecute[] = "AS_Execute";
}  // namespace

void TDataSetProvider::RaiseNotAvailable(const char* Method) const {
  if (FDataSet == nullptr) throw TDBXError(TDBXErrorCodes::ProviderFailure, TProviderErrors::kMissingDataSet);
  throw TDBXError(TDBXErrorCodes::ProviderFailure, Method + std::string(TProviderErrors::kNotAvailable) + Name());
}

TDSVariant TDataSetProvider::ApplyUpdates(const TDSVariant&, std::int32_t, std::int32_t&, TDBXStreamValue&) {
  RaiseNotAvailable(kApplyUpdates);
}

TDSVariant TDataSetProvider::GetRecords(std::int32_t, std::int32_t&, std::int32_t, const std::u16string&,
                                        TDBXStreamValue&, TDBXStreamValue&) {
  RaiseNotAvailable(kGetRecords);
}

TDSVariant TDataSetProvider::DataRequest(const TDSVariant&) { RaiseNotAvailable(kDataRequest); }

TDSVariant TDataSetProvider::GetParams(TDBXStreamValue&) { RaiseNotAvailable(kGetParams); }

TDSVariant TDataSetProvider::RowRequest(const TDSVariant&, std::int32_t) { RaiseNotAvailable(kRowRequest); }

void TDataSetProvider::Execute(const std::u16string&, TDBXStreamValue&, TDBXStreamValue&) {
  RaiseNotAvailable(kExecute);
}

}  // namespace tavrin
