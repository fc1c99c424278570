#pragma once
// The table of connections a transport has open, indexed by connection handle.
//
// Handles start at 1 (slot 0 is never used). A new entry takes the lowest free slot;
// when none is free the table grows by tcp::kRegistryGrowSlots and the entry takes the
// first new slot. A released slot is reused.
//
// Threading: every operation may be called from any thread; they are serialised so two
// connections never receive the same slot.

#include <cstdint>
#include <mutex>
#include <vector>

namespace tavrin {

class TDSTCPConnection;

class TDSConnectionRegistry {
 public:
  TDSConnectionRegistry();

  // Puts Entry (not owned, never null) in the lowest free slot and returns its handle.
  std::int32_t Register(TDSTCPConnection* Entry);

  // Empties the slot Handle when it still holds Entry; a repeated or stale call (the
  // slot is free or already given to another connection) does nothing, so the
  // connection and its teardown may both unregister. Returns whether a slot was freed.
  bool Unregister(std::int32_t Handle, const TDSTCPConnection* Entry);

  // The entry in Handle's slot, or null. The pointer is not owned and is only valid
  // while its connection lives.
  TDSTCPConnection* Find(std::int32_t Handle) const;

  std::size_t Count() const;
  std::size_t Capacity() const;  // number of slots, slot 0 included

 private:
  mutable std::mutex FLock;  // guards FSlots and FCount
  std::vector<TDSTCPConnection*> FSlots;
  std::size_t FCount = 0;
};

}  // namespace tavrin
