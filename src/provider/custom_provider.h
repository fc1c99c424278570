#pragma once
// TCustomProvider: the base of provider components. A provider has a name and an
// Exported switch; made with an owning provider data module it registers itself with
// the module, which then finds it by name for the provider operations clients call, and
// it leaves the module again when destroyed. What the operations do is up to the
// concrete provider; the events around them are kept here: each receives the provider
// and the client's owner data, which it may change (the change goes back to the client).
//
// Threading: a provider is used by the thread that uses its owner.

#include <functional>
#include <string>
#include <utility>

#include "server/methods/provider.h"

namespace tavrin {

class TProviderDataModule;
class TCustomProvider;

using TProviderEvent = std::function<void(TCustomProvider& Sender, TDSVariant& OwnerData)>;
// Answers a client's DataRequest.
using TDataRequestEvent = std::function<TDSVariant(TCustomProvider& Sender, const TDSVariant& Data)>;

class TCustomProvider : public IDSProvider {
 public:
  // Registers with Owner when there is one; Owner must outlive the provider (a provider
  // held by its owner as a member does). Without an owner no module can find it.
  TCustomProvider(TProviderDataModule* Owner, std::string Name);
  // Unregisters from the owner.
  ~TCustomProvider() override;

  TProviderDataModule* Owner() const { return FOwner; }

  const std::string& Name() const override { return FName; }
  void SetName(std::string Name) { FName = std::move(Name); }

  // True unless set otherwise.
  bool Exported() const override { return FExported; }
  void SetExported(bool Value) { FExported = Value; }

  // The events; none is set unless given.
  TProviderEvent BeforeGetRecords, AfterGetRecords;
  TProviderEvent BeforeGetParams, AfterGetParams;
  TProviderEvent BeforeExecute, AfterExecute;
  TProviderEvent BeforeRowRequest, AfterRowRequest;
  TProviderEvent BeforeApplyUpdates, AfterApplyUpdates;
  TDataRequestEvent OnDataRequest;

  // A client's DataRequest: OnDataRequest's answer, or null when it is not set.
  TDSVariant DataRequest(const TDSVariant& Data) override;

 protected:
  void Fire(const TProviderEvent& Event, TDSVariant& OwnerData) {
    if (Event) Event(*this, OwnerData);
  }

 private:
  TProviderDataModule* const FOwner;
  std::string FName;
  bool FExported = true;
};

}  // namespace tavrin
