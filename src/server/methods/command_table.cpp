#include "server/methods/command_table.h"

#include <algorithm>
#include <string>

#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {

std::string InvalidHandleText(std::int32_t Handle) {
  std::string Text = TDSCommandTableErrors::kInvalidHandle;
  Text.replace(Text.find("%s"), 2, std::to_string(Handle));
  return Text;
}

}  // namespace

std::int32_t TDSCommandTable::Enter(std::unique_ptr<TDSServerMethodCommandHandler> Handler) {
  auto Slot = static_cast<std::size_t>(FLastCommandHandler);
  while (Slot < FCommandHandlers.size() && FCommandHandlers[Slot] != nullptr) ++Slot;
  if (Slot == FCommandHandlers.size()) FCommandHandlers.resize(FCommandHandlers.size() + kGrowthSlots);
  FLastCommandHandler = static_cast<std::int32_t>(Slot);
  Handler->SetCommandHandle(FLastCommandHandler);
  FCommandHandlers[Slot] = std::move(Handler);
  return FLastCommandHandler;
}

TDSServerMethodCommandHandler& TDSCommandTable::Get(std::int32_t Handle) const {
  if (Handle < 0) throw TDBXError(TDBXErrorCodes::CommandClosed, TDSCommandTableErrors::kClosed);
  const auto Slot = static_cast<std::size_t>(Handle);
  if (Slot >= FCommandHandlers.size() || FCommandHandlers[Slot] == nullptr) {
    throw TDBXError(TDBXErrorCodes::InvalidCommandHandle, InvalidHandleText(Handle));
  }
  return *FCommandHandlers[Slot];
}

std::unique_ptr<TDSServerMethodCommandHandler> TDSCommandTable::Release(std::int32_t Handle) {
  Get(Handle);
  if (Handle < FLastCommandHandler) FLastCommandHandler = Handle;
  return std::move(FCommandHandlers[static_cast<std::size_t>(Handle)]);
}

void TDSCommandTable::Clear() {
  for (auto It = FCommandHandlers.rbegin(); It != FCommandHandlers.rend(); ++It) It->reset();
  FLastCommandHandler = 0;
}

bool TDSCommandTable::HasOpenCommands() const {
  return std::any_of(FCommandHandlers.begin(), FCommandHandlers.end(),
                     [](const auto& Handler) { return Handler != nullptr; });
}

std::size_t TDSCommandTable::OpenCount() const {
  return static_cast<std::size_t>(std::count_if(FCommandHandlers.begin(), FCommandHandlers.end(),
                                                [](const auto& Handler) { return Handler != nullptr; }));
}

}  // namespace tavrin
