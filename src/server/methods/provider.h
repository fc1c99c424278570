#pragma once
// IDSProvider: what a provider data module needs of the providers registered with it.
// The module finds a provider by name and hands it the provider operation a client
// called; the provider components themselves live in a layer above (src/provider) and
// implement this interface, so this layer never includes them.
//
// Threading: a provider is used by the connection thread running the call, like the
// module that owns it.

#include <cstdint>
#include <string>

#include "server/methods/method_call.h"

namespace tavrin {

class IDSProvider {
 public:
  IDSProvider() = default;
  IDSProvider(const IDSProvider&) = delete;
  IDSProvider& operator=(const IDSProvider&) = delete;
  virtual ~IDSProvider() = default;

  // The name clients reach the provider by (UTF-8), compared ignoring ASCII letter case.
  virtual const std::string& Name() const = 0;
  // Only exported providers are reachable by clients.
  virtual bool Exported() const = 0;

  // The provider operations, with the arguments of the module's methods of the same
  // name (AS_...) less the provider name; the stream parameters arrive decoded into
  // variants, and what the operation leaves in Params and OwnerData goes back to the
  // client. Out integers are written through their references. Each raises on failure
  // (TDBXError, or the packet library's EDSWriter); what the provider had changed by then
  // is its own affair.
  virtual TDSVariant ApplyUpdates(const TDSVariant& Delta, std::int32_t MaxErrors, std::int32_t& ErrorCount,
                                  TDSVariant& OwnerData) = 0;
  virtual TDSVariant GetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                                const std::u16string& CommandText, TDSVariant& Params, TDSVariant& OwnerData) = 0;
  virtual TDSVariant DataRequest(const TDSVariant& Data) = 0;
  virtual TDSVariant GetParams(TDSVariant& OwnerData) = 0;
  virtual TDSVariant RowRequest(const TDSVariant& Row, std::int32_t RequestType, TDSVariant& OwnerData) = 0;
  virtual void Execute(const std::u16string& CommandText, TDSVariant& Params, TDSVariant& OwnerData) = 0;
};

}  // namespace tavrin
