#pragma once
// The base of server classes whose datasets are reachable remotely through providers:
// TProviderDataModule, and TDSServerModule, the usual base of a server methods class.
// The server pairs every instance of such a class with a TDSProviderDataModuleAdapter,
// whose seven provider methods (AS_...) land here.
//
// The lookup of providers by name is not part of this module yet: every operation that
// names a provider refuses it as not exported, and the module lists no provider names.
// A module with real providers overrides these operations.
//
// Threading: an instance is used by the connection thread running the call.

#include <cstdint>
#include <string>

#include "dsserver/ds_class_declaration.h"
#include "dsserver/ds_method_call.h"

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
// Failures of provider operations reach the client as any failing method does.
inline constexpr std::int32_t kCode = TDBXErrorCodes::NonDbxException;
inline constexpr char kNotExported[] = "Provider not exported: ";
}  // namespace TDSProviderErrors

class TProviderDataModule : public TDSServerObject {
 public:
  // The names of the exported providers, sorted ignoring case, joined by commas; empty
  // when there is none.
  virtual std::u16string AS_GetProviderNames();

  // The provider operations. Stream values are the in/out stream parameters (variants
  // in their stream form); out integers are written through their references. Each
  // raises TDBXError "Provider not exported: <ProviderName>" when no exported provider
  // bears the name.
  virtual TDSVariant AS_ApplyUpdates(const std::u16string& ProviderName, const TDSVariant& Delta,
                                     std::int32_t MaxErrors, std::int32_t& ErrorCount,
                                     TDBXStreamValue& OwnerData);
  virtual TDSVariant AS_GetRecords(const std::u16string& ProviderName, std::int32_t Count,
                                   std::int32_t& RecsOut, std::int32_t Options,
                                   const std::u16string& CommandText, TDBXStreamValue& Params,
                                   TDBXStreamValue& OwnerData);
  virtual TDSVariant AS_DataRequest(const std::u16string& ProviderName, const TDSVariant& Data);
  virtual TDSVariant AS_GetParams(const std::u16string& ProviderName, TDBXStreamValue& OwnerData);
  virtual TDSVariant AS_RowRequest(const std::u16string& ProviderName, const TDSVariant& Row,
                                   std::int32_t RequestType);
  virtual void AS_Execute(const std::u16string& ProviderName, const std::u16string& CommandText,
                          TDBXStreamValue& Params, TDBXStreamValue& OwnerData);

 protected:
  [[noreturn]] static void RaiseNotExported(const std::u16string& ProviderName);
};

class TDSServerModule : public TProviderDataModule {};

}  // namespace tavrin
