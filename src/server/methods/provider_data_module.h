#pragma once
// The base of server classes whose datasets are reachable remotely through providers:
// TProviderDataModule, and TDSServerModule, the usual base of a server methods class.
// The server pairs every instance of such a class with a TDSProviderDataModuleAdapter,
// whose seven provider methods (AS_...) land here.
//
// The module keeps an ordered list of the providers it owns (each registers itself when
// it is made and leaves when it is destroyed), finds the one a call names and hands it
// the operation.
//
// Threading: an instance and its providers are used by the connection thread running
// the call.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/methods/class_declaration.h"
#include "server/methods/method_call.h"
#include "server/methods/provider.h"

namespace tavrin {

class TDBXStreamValue;

// Class names for the "descends from" test of the registry.
namespace TDSProviderClassNames {
inline constexpr char kDataModule[] = "TDataModule";
inline constexpr char kProviderDataModule[] = "TProviderDataModule";
inline constexpr char kServerModuleBase[] = "TDSServerModuleBase";
inline constexpr char kServerModule[] = "TDSServerModule";
}  // namespace TDSProviderClassNames

namespace TDSProviderErrors {
inline constexpr char kNotExported[] = "Provider not exported: ";
}  // namespace TDSProviderErrors

class TProviderDataModule : public TDSServerObject {
 public:
  // Adds Provider at the end of the list. The module does not own it: Provider must
  // unregister before it is destroyed (TCustomProvider does both itself).
  void RegisterProvider(IDSProvider& Provider);
  // Takes Provider out of the list; nothing happens when it is not in it.
  void UnRegisterProvider(IDSProvider& Provider);

  // The first provider in list order whose name equals ProviderName ignoring ASCII
  // letter case. Raises TDBXError "Provider not exported: <ProviderName>" when there is
  // none or that provider is not exported. The module owns nothing it returns.
  IDSProvider& GetProvider(std::u16string_view ProviderName) const;

  // The names of the exported providers, sorted ignoring case, joined by commas; empty
  // when there is none.
  std::u16string AS_GetProviderNames() const;

  // The provider operations: each decodes its stream parameters into variants, finds
  // the provider (GetProvider, with its error), hands it the operation of the same name
  // and encodes the params and owner data it leaves back into their stream parameters
  // (variant_stream.h). Out integers are written through their references. The
  // provider's errors travel on, and the stream parameters are left as they came then.
  TDSVariant AS_ApplyUpdates(const std::u16string& ProviderName, const TDSVariant& Delta, std::int32_t MaxErrors,
                             std::int32_t& ErrorCount, TDBXStreamValue& OwnerData);
  TDSVariant AS_GetRecords(const std::u16string& ProviderName, std::int32_t Count, std::int32_t& RecsOut,
                           std::int32_t Options, const std::u16string& CommandText, TDBXStreamValue& Params,
                           TDBXStreamValue& OwnerData);
  TDSVariant AS_DataRequest(const std::u16string& ProviderName, const TDSVariant& Data);
  TDSVariant AS_GetParams(const std::u16string& ProviderName, TDBXStreamValue& OwnerData);
  TDSVariant AS_RowRequest(const std::u16string& ProviderName, const TDSVariant& Row, std::int32_t RequestType,
                           TDBXStreamValue& OwnerData);
  void AS_Execute(const std::u16string& ProviderName, const std::u16string& CommandText, TDBXStreamValue& Params,
                  TDBXStreamValue& OwnerData);

 private:
  std::vector<IDSProvider*> FProviders;  // in registration order; not owned
};

class TDSServerModule : public TProviderDataModule {};

}  // namespace tavrin
