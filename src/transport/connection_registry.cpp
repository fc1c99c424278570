#include "transport/connection_registry.h"

#include "transport/tcp_limits.h"

namespace tavrin {

TDSConnectionRegistry::TDSConnectionRegistry()
    : FSlots(static_cast<std::size_t>(tcp::kRegistryInitialSlots), nullptr) {}

std::int32_t TDSConnectionRegistry::Register(TDSTCPConnection* Entry) {
  std::lock_guard Guard(FLock);
  std::size_t Slot = 1;
  while (Slot < FSlots.size() && FSlots[Slot] != nullptr) {
    ++Slot;
  }
  if (Slot == FSlots.size()) {
    FSlots.resize(FSlots.size() + static_cast<std::size_t>(tcp::kRegistryGrowSlots), nullptr);
  }
  FSlots[Slot] = Entry;
  ++FCount;
  return static_cast<std::int32_t>(Slot);
}

bool TDSConnectionRegistry::Unregister(std::int32_t Handle, const TDSTCPConnection* Entry) {
  std::lock_guard Guard(FLock);
  if (Handle <= 0 || static_cast<std::size_t>(Handle) >= FSlots.size()) {
    return false;
  }
  auto& Slot = FSlots[static_cast<std::size_t>(Handle)];
  if (Slot == nullptr || Slot != Entry) {
    return false;
  }
  Slot = nullptr;
  --FCount;
  return true;
}

TDSTCPConnection* TDSConnectionRegistry::Find(std::int32_t Handle) const {
  std::lock_guard Guard(FLock);
  if (Handle <= 0 || static_cast<std::size_t>(Handle) >= FSlots.size()) {
    return nullptr;
  }
  return FSlots[static_cast<std::size_t>(Handle)];
}

std::size_t TDSConnectionRegistry::Count() const {
  std::lock_guard Guard(FLock);
  return FCount;
}

std::size_t TDSConnectionRegistry::Capacity() const {
  std::lock_guard Guard(FLock);
  return FSlots.size();
}

}  // namespace tavrin
