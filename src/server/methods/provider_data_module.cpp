#include "server/methods/provider_data_module.h"

#include <algorithm>
#include <utility>

#include "vocabulary/client_text.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/variant_stream.h"

namespace tavrin {

namespace {
constexpr char kNameSeparator = ',';

// The variant a stream parameter carries (a null parameter is a null variant).
TDSVariant VariantOf(const TDBXStreamValue& Stream) {
  return Stream.IsNull() ? TDSVariant::Null() : DecodeVariantStream(Stream.GetStream().get());
}

void StoreVariant(TDSVariant Value, TDBXStreamValue& Stream) { Stream.SetStream(EncodeVariantStream(std::move(Value))); }
}  // namespace

void TProviderDataModule::RegisterProvider(IDSProvider& Provider) { FProviders.push_back(&Provider); }

void TProviderDataModule::UnRegisterProvider(IDSProvider& Provider) { std::erase(FProviders, &Provider); }

IDSProvider& TProviderDataModule::GetProvider(std::u16string_view ProviderName) const {
  const std::string Wanted = ToUtf8(ProviderName);
  const std::string WantedUpper = UpperAscii(Wanted);
  const auto Found = std::find_if(FProviders.begin(), FProviders.end(), [&](const IDSProvider* Provider) {
    return UpperAscii(Provider->Name()) == WantedUpper;
  });
  // Only the first provider bearing the name counts, exported or not.
  if (Found == FProviders.end() || !(*Found)->Exported()) {
    throw TDBXError(TDBXErrorCodes::ProviderFailure, TDSProviderErrors::kNotExported + QuotedClientText(Wanted));
  }
  return **Found;
}

std::u16string TProviderDataModule::AS_GetProviderNames() const {
  std::vector<std::pair<std::string, const std::string*>> Names;  // upper-cased key, name
  for (const IDSProvider* Provider : FProviders) {
    if (Provider->Exported()) Names.emplace_back(UpperAscii(Provider->Name()), &Provider->Name());
  }
  std::stable_sort(Names.begin(), Names.end(),
                   [](const auto& Left, const auto& Right) { return Left.first < Right.first; });
  std::string Joined;
  for (const auto& [Key, Name] : Names) {
    if (!Joined.empty()) Joined += kNameSeparator;
    Joined += *Name;
  }
  return ToUtf16(Joined);
}

TDSVariant TProviderDataModule::AS_ApplyUpdates(const std::u16string& ProviderName, const TDSVariant& Delta,
                                                std::int32_t MaxErrors, std::int32_t& ErrorCount,
                                                TDBXStreamValue& OwnerData) {
  TDSVariant Owner = VariantOf(OwnerData);
  TDSVariant Result = GetProvider(ProviderName).ApplyUpdates(Delta, MaxErrors, ErrorCount, Owner);
  StoreVariant(std::move(Owner), OwnerData);
  return Result;
}

TDSVariant TProviderDataModule::AS_GetRecords(const std::u16string& ProviderName, std::int32_t Count,
                                              std::int32_t& RecsOut, std::int32_t Options,
                                              const std::u16string& CommandText, TDBXStreamValue& Params,
                                              TDBXStreamValue& OwnerData) {
  TDSVariant ParamValues = VariantOf(Params);
  TDSVariant Owner = VariantOf(OwnerData);
  TDSVariant Result = GetProvider(ProviderName).GetRecords(Count, RecsOut, Options, CommandText, ParamValues, Owner);
  StoreVariant(std::move(ParamValues), Params);
  StoreVariant(std::move(Owner), OwnerData);
  return Result;
}

TDSVariant TProviderDataModule::AS_DataRequest(const std::u16string& ProviderName, const TDSVariant& Data) {
  return GetProvider(ProviderName).DataRequest(Data);
}

TDSVariant TProviderDataModule::AS_GetParams(const std::u16string& ProviderName, TDBXStreamValue& OwnerData) {
  TDSVariant Owner = VariantOf(OwnerData);
  TDSVariant Result = GetProvider(ProviderName).GetParams(Owner);
  StoreVariant(std::move(Owner), OwnerData);
  return Result;
}

TDSVariant TProviderDataModule::AS_RowRequest(const std::u16string& ProviderName, const TDSVariant& Row,
                                              std::int32_t RequestType, TDBXStreamValue& OwnerData) {
  TDSVariant Owner = VariantOf(OwnerData);
  TDSVariant Result = GetProvider(ProviderName).RowRequest(Row, RequestType, Owner);
  StoreVariant(std::move(Owner), OwnerData);
  return Result;
}

void TProviderDataModule::AS_Execute(const std::u16string& ProviderName, const std::u16string& CommandText,
                                     TDBXStreamValue& Params, TDBXStreamValue& OwnerData) {
  TDSVariant ParamValues = VariantOf(Params);
  TDSVariant Owner = VariantOf(OwnerData);
  GetProvider(ProviderName).Execute(CommandText, ParamValues, Owner);
  StoreVariant(std::move(ParamValues), Params);
  StoreVariant(std::move(Owner), OwnerData);
}

}  // namespace tavrin
