#pragma once
// TCustomProvider: the base of provider components. A provider has a name and an
// Exported switch; made with an owning provider data module it registers itself with
// the module, which then finds it by name for the provider operations clients call, and
// it leaves the module again when destroyed. What the operations do is up to the
// concrete provider.
//
// Threading: a provider is used by the thread that uses its owner.

#include <string>
#include <utility>

#include "server/methods/provider.h"

namespace tavrin {

class TProviderDataModule;

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

 private:
  TProviderDataModule* const FOwner;
  std::string FName;
  bool FExported = true;
};

}  // namespace tavrin
