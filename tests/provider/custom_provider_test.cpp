// Provider components and their owning module: joining it when made, leaving it when
// destroyed, found by the name and the Exported switch they have now.

#include "provider/custom_provider.h"

#include <gtest/gtest.h>

#include <memory>

#include "server/methods/provider_data_module.h"
#include "provider/data_set_provider.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

TEST(CustomProvider, JoinsItsOwnerWhenMadeAndLeavesWhenDestroyed) {
  TProviderDataModule Module;
  TDataSetProvider Free(nullptr, "free");  // no owner: no module knows it
  {
    TDataSetProvider Products(&Module, "Products");
    EXPECT_EQ(Products.Owner(), &Module);
    {
      auto Clients = std::make_unique<TDataSetProvider>(&Module, "clients");
      EXPECT_EQ(Module.AS_GetProviderNames(), u"clients,Products");
      EXPECT_EQ(&Module.GetProvider(u"CLIENTS"), Clients.get());
      Clients->SetName("buyers");  // found by the name it bears now
      EXPECT_EQ(&Module.GetProvider(u"Buyers"), Clients.get());
      Clients->SetExported(false);
      EXPECT_EQ(Module.AS_GetProviderNames(), u"Products");
      Clients->SetExported(true);
      EXPECT_EQ(Module.AS_GetProviderNames(), u"buyers,Products");
    }
    EXPECT_EQ(Module.AS_GetProviderNames(), u"Products");
    EXPECT_EQ(ErrorOf([&] { Module.GetProvider(u"buyers"); }).Message(), "Provider not exported: buyers");
  }
  EXPECT_EQ(Module.AS_GetProviderNames(), u"");
  EXPECT_EQ(ErrorOf([&] { Module.GetProvider(u"free"); }).Message(), "Provider not exported: free");
}

}  // namespace
}  // namespace tavrin
