#pragma once
// The open commands of one connection, indexed by command handle. A new command takes
// the lowest free handle, so handles stay small and a closed handle is reused first.
//
// Threading: a table belongs to one connection; only its thread touches it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "server/methods/server_method_command_handler.h"

namespace tavrin {

// Codes and texts of the failed look-ups.
namespace TDSCommandTableErrors {
inline constexpr char kClosed[] = "Command closed or executed again";
inline constexpr char kInvalidHandle[] = "Invalid command handle:  %s";  // two blanks
}  // namespace TDSCommandTableErrors

class TDSCommandTable {
 public:
  // Slots of a new table, and slots added each time it is full.
  static constexpr std::size_t kInitialSlots = 16;
  static constexpr std::size_t kGrowthSlots = 8;

  TDSCommandTable() : FCommandHandlers(kInitialSlots) {}

  // Stores Handler in the lowest free slot, growing the table when none is free, gives
  // the handler that index as its command handle and returns it.
  std::int32_t Enter(std::unique_ptr<TDSServerMethodCommandHandler> Handler);
  // The open command of Handle; the table keeps ownership. Raises TDBXError code 4
  // "Command closed or executed again" for a negative handle and code 29 "Invalid
  // command handle:  <Handle>" for a handle outside the table or at a free slot.
  TDSServerMethodCommandHandler& Get(std::int32_t Handle) const;
  // Takes the open command of Handle out of the table (its slot becomes free) and hands
  // it to the caller. Raises as Get.
  std::unique_ptr<TDSServerMethodCommandHandler> Release(std::int32_t Handle);

  // Frees every open command, the highest handle first; the table keeps its slots.
  void Clear();

  // Calls Action(TDSServerMethodCommandHandler&) for every open command, the lowest
  // handle first. Action must not open or close commands.
  template <typename TAction>
  void ForEach(TAction&& Action) const {
    for (const auto& Handler : FCommandHandlers) {
      if (Handler != nullptr) Action(*Handler);
    }
  }

  bool HasOpenCommands() const;
  std::size_t OpenCount() const;
  std::size_t SlotCount() const { return FCommandHandlers.size(); }
  // The lowest index that may be free.
  std::int32_t LastCommandHandler() const { return FLastCommandHandler; }

 private:
  std::vector<std::unique_ptr<TDSServerMethodCommandHandler>> FCommandHandlers;
  std::int32_t FLastCommandHandler = 0;
};

}  // namespace tavrin
