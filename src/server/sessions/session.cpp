#include "server/sessions/session.h"

#include <utility>

#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {
constexpr const char* kNoSessionData = "No session data";

bool IsLive(TDSSessionStatus Status) {
  return Status == TDSSessionStatus::Active || Status == TDSSessionStatus::Idle ||
         Status == TDSSessionStatus::Connected;
}
}  // namespace

TDSSession::TDSSession()
    : FSessionData(std::make_unique<TSessionData>()),
      FStartDateTime(std::chrono::system_clock::now()),
      FLastActivity(NowMilliseconds()) {}

std::int64_t TDSSession::SteadyMilliseconds() noexcept {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string TDSSession::UserName() const {
  std::lock_guard Lock(FLock);
  return FUserName;
}

void TDSSession::SetUserName(std::string Value) {
  std::lock_guard Lock(FLock);
  FUserName = std::move(Value);
}

std::vector<std::string> TDSSession::UserRoles() const {
  std::lock_guard Lock(FLock);
  return FUserRoles;
}

void TDSSession::SetUserRoles(std::vector<std::string> Value) {
  std::lock_guard Lock(FLock);
  FUserRoles = std::move(Value);
}

void TDSSession::SetClock(TClock Clock) noexcept {
  FClock = Clock;
  FLastActivity.store(NowMilliseconds());
}

void TDSSession::MarkActivity() noexcept { FLastActivity.store(NowMilliseconds()); }

TDSSessionStatus TDSSession::GetStatus() const noexcept {
  TDSSessionStatus Status = FStatus.load();
  const std::int32_t Limit = FDuration.load();
  if (IsLive(Status) && Limit > 0 && NowMilliseconds() - FLastActivity.load() > Limit) {
    // Only a live status turns into Expired; a concurrent Close wins over expiry.
    if (FStatus.compare_exchange_strong(Status, TDSSessionStatus::Expired)) return TDSSessionStatus::Expired;
  }
  return Status;
}

bool TDSSession::IsValid() const noexcept { return IsLive(GetStatus()); }

void TDSSession::Close() noexcept { FStatus.store(TDSSessionStatus::Closed); }

void TDSSession::Terminate() noexcept { FStatus.store(TDSSessionStatus::Closed); }

void TDSSession::FreeData() noexcept {
  std::unique_ptr<TSessionData> Freed;
  {
    std::lock_guard Lock(FLock);
    Freed = std::move(FSessionData);
  }
  // Freed goes here, outside the lock: destructors of stored objects may call back in.
}

TDSSession::TSessionData& TDSSession::Data() const {
  if (!FSessionData) throw TDBXError(TDBXErrorCodes::Unspecified, kNoSessionData);
  return *FSessionData;
}

void TDSSession::PutData(const std::string& Key, std::string Value) {
  std::lock_guard Lock(FLock);
  Data().FValues.insert_or_assign(Key, std::move(Value));
}

std::string TDSSession::GetData(const std::string& Key) const {
  std::lock_guard Lock(FLock);
  const auto& Values = Data().FValues;
  const auto It = Values.find(Key);
  return It != Values.end() ? It->second : std::string();
}

bool TDSSession::HasData(const std::string& Key) const {
  std::lock_guard Lock(FLock);
  return Data().FValues.contains(Key);
}

void TDSSession::RemoveData(const std::string& Key) {
  std::lock_guard Lock(FLock);
  Data().FValues.erase(Key);
}

void TDSSession::PutObjectValue(const std::string& Key, std::any Value) {
  std::any Replaced;
  std::lock_guard Lock(FLock);
  auto& Slot = Data().FObjects[Key];
  Replaced = std::exchange(Slot, std::move(Value));
  // Declared before the lock, Replaced is released after it.
}

std::any TDSSession::GetObjectValue(const std::string& Key) const {
  std::lock_guard Lock(FLock);
  const auto& Objects = Data().FObjects;
  const auto It = Objects.find(Key);
  return It != Objects.end() ? It->second : std::any();
}

bool TDSSession::HasObject(const std::string& Key) const {
  std::lock_guard Lock(FLock);
  return Data().FObjects.contains(Key);
}

void TDSSession::RemoveObject(const std::string& Key) {
  std::any Removed;
  std::lock_guard Lock(FLock);
  auto& Objects = Data().FObjects;
  if (const auto It = Objects.find(Key); It != Objects.end()) {
    Removed = std::move(It->second);
    Objects.erase(It);
  }
}

}  // namespace tavrin
