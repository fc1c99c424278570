#include "server/methods/instance_provider.h"

#include <exception>
#include <utility>

#include "vocabulary/dbx_error.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/provider_data_module_adapter.h"
#include "server/methods/server_class.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

std::unique_ptr<TDSServerObject> CreateFrom(const TDSClassDeclaration& Declaration) {
  if (!Declaration.Create) {
    throw TDBXError(TDBXErrorCodes::NoInstanceFactory, Declaration.ClassName + TDSInstanceErrors::kNoCreate);
  }
  return Declaration.Create();
}

}  // namespace

std::unique_ptr<TDSServerObject> CreateServerClassInstance(const TDSClassInfo& Class,
                                                           TDSCreateInstanceEventObject& Event) {
  std::unique_ptr<TDSServerObject> Instance;
  if (Class.ServerClass != nullptr && Class.ServerClass->OnCreateInstance) {
    Event.ServerClassInstance.reset();
    Class.ServerClass->OnCreateInstance(Event);
    Instance = std::move(Event.ServerClassInstance);
  }
  if (!Instance) {
    Instance = CreateFrom(Class.WrappedDeclaration != nullptr ? *Class.WrappedDeclaration : *Class.Declaration);
  }
  if (Instance && Class.WrappedDeclaration != nullptr) {
    return std::make_unique<TDSProviderDataModuleAdapter>(std::move(Instance));
  }
  return Instance;
}

void DestroyServerClassInstance(const TDSClassInfo& Class, std::unique_ptr<TDSServerObject> Instance,
                                TDSDestroyInstanceEventObject& Event) {
  if (Class.ServerClass == nullptr || !Class.ServerClass->OnDestroyInstance) {
    Instance.reset();
    return;
  }
  if (auto* Adapter = dynamic_cast<TDSProviderDataModuleAdapter*>(Instance.get())) {
    Event.ServerClassInstance = Adapter->TakeModule();
    Instance.reset();
  } else {
    Event.ServerClassInstance = std::move(Instance);
  }
  struct TFreeLeftOver {
    TDSDestroyInstanceEventObject& Event;
    ~TFreeLeftOver() { Event.ServerClassInstance.reset(); }
  } FreeLeftOver{Event};
  Class.ServerClass->OnDestroyInstance(Event);
}

TDSHashtableInstanceProvider::~TDSHashtableInstanceProvider() {
  try {
    Clear();
  } catch (...) {
    // Every instance is gone already; a destroy hook's failure has nobody to reach
    // while the table itself goes away.
  }
}

TDSServerObject& TDSHashtableInstanceProvider::GetInstance(const TDSClassInfo& Class, const TCreate& Create) {
  std::string Key = UpperAscii(Class.ClassName);
  std::lock_guard Guard(FLock);
  for (const TItem& Item : FItems) {
    if (Item.Key == Key) return *Item.Instance;
  }
  std::unique_ptr<TDSServerObject> Instance = Create();
  if (!Instance) throw TDBXError(TDBXErrorCodes::UnknownLifeCycle, TDSLifeCycleErrors::kUnknown + Class.LifeCycle);
  FItems.push_back({std::move(Key), &Class, std::move(Instance)});
  return *FItems.back().Instance;
}

std::size_t TDSHashtableInstanceProvider::Count() const {
  std::lock_guard Guard(FLock);
  return FItems.size();
}

void TDSHashtableInstanceProvider::Clear() {
  std::vector<TItem> Items;
  {
    std::lock_guard Guard(FLock);
    Items.swap(FItems);
  }
  // Destroyed outside the lock: a destroy hook may well ask the table something.
  std::exception_ptr FirstFailure;
  while (!Items.empty()) {
    TItem Item = std::move(Items.back());
    Items.pop_back();
    try {
      FDestroy(*Item.Class, std::move(Item.Instance));
    } catch (...) {
      if (!FirstFailure) FirstFailure = std::current_exception();
    }
  }
  if (FirstFailure) std::rethrow_exception(FirstFailure);
}

}  // namespace tavrin
