#pragma once
// A client's session: who the user is, what the server keeps for the client by key, and
// whether the session is still alive. Sessions are shared (std::shared_ptr): the session
// manager, the connection that serves the client and any thread that looked it up may
// hold one, so a session closed on one thread stays a valid object for the others; it
// only reports Closed and has dropped its data.

#include <any>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/sessions/authentication_manager.h"

namespace tavrin {

// Values travel to clients and stay as numbered.
enum class TDSSessionStatus : std::int32_t {
  Active = 0,
  Closed = 1,
  Idle = 2,
  Terminated = 3,
  Connected = 4,
  Expired = 5,
};

// TimeOut sessions are registered with the manager and live until closed; Request
// sessions serve one request and are never registered.
enum class TDSSessionLifetime : std::int32_t {
  TimeOut = 0,
  Request = 1,
};

// Every operation may be called from any thread; the state that several threads touch
// is guarded inside. The checks (Authenticate, Authorize, ...) run on the connection's
// thread.
class TDSSession {
 public:
  TDSSession();
  TDSSession(const TDSSession&) = delete;
  TDSSession& operator=(const TDSSession&) = delete;
  virtual ~TDSSession() = default;

  // The session id, "a.b.c"; empty for a Request session. Set once by the manager
  // before the session is published.
  const std::string& SessionName() const noexcept { return FSessionName; }
  TDSSessionLifetime Lifetime() const noexcept { return FSessionLifetime; }
  std::chrono::system_clock::time_point StartDateTime() const noexcept { return FStartDateTime; }

  std::string UserName() const;
  void SetUserName(std::string Value);
  std::vector<std::string> UserRoles() const;
  void SetUserRoles(std::vector<std::string> Value);

  // Inactivity time-out in milliseconds; 0 (the default) never expires.
  // Milliseconds on a clock that never goes back; the time-out is measured on it.
  using TClock = std::int64_t (*)() noexcept;
  // Measures the time-out on Clock instead of the steady clock (a test moves its time by
  // hand), counting from now. Set before the session is shared.
  void SetClock(TClock Clock) noexcept;

  std::int32_t Duration() const noexcept { return FDuration.load(); }
  void SetDuration(std::int32_t Milliseconds) noexcept { FDuration.store(Milliseconds); }
  // Records activity now, which restarts the inactivity time-out.
  void MarkActivity() noexcept;

  // The status, where an Active, Idle or Connected session whose positive duration has
  // passed since its last activity reports Expired from then on (it does not come back).
  TDSSessionStatus GetStatus() const noexcept;
  // True while the status is Active, Idle or Connected.
  bool IsValid() const noexcept;

  // Marks the session Closed. The manager calls these on its close and terminate paths;
  // a terminated session reports Closed like a closed one.
  void Close() noexcept;
  void Terminate() noexcept;

  // Text values by key. Once the session has been freed by its manager, every data
  // access raises TDBXError "No session data".
  void PutData(const std::string& Key, std::string Value);
  std::string GetData(const std::string& Key) const;  // empty when the key is absent
  bool HasData(const std::string& Key) const;
  void RemoveData(const std::string& Key);

  // Objects by key, shared with the caller. GetObject gives null when the key is absent
  // or holds another type. Same failure as the text values.
  template <class T>
  void PutObject(const std::string& Key, std::shared_ptr<T> Value) {
    PutObjectValue(Key, std::any(std::move(Value)));
  }
  template <class T>
  std::shared_ptr<T> GetObject(const std::string& Key) const {
    const std::any Value = GetObjectValue(Key);
    const auto* Object = std::any_cast<std::shared_ptr<T>>(&Value);
    return Object != nullptr ? *Object : nullptr;
  }
  bool HasObject(const std::string& Key) const;
  void RemoveObject(const std::string& Key);

  // Credential check at the client's connect; false refuses the user.
  virtual bool Authenticate(const TDSConnectProperties& ConnectProperties) = 0;
  // Permission check before a method runs; false refuses the call.
  virtual bool Authorize(const TDSAuthorizeRequest& Request) = 0;
  // Whether calls of the method with this alias ("Class.Method") are checked at all.
  virtual bool RequiresAuthorization(std::string_view MethodAlias) const = 0;
  // The roles allowed and denied for a method. DesignTimeRoles, when not null, is the
  // method's fixed role attribute.
  virtual TDSRoleLists GetAuthRoles(const std::string& ClassName, const std::string& MethodName,
                                    const TDSRoleLists* DesignTimeRoles) = 0;

 private:
  friend class TDSSessionManager;

  struct TSessionData {
    std::unordered_map<std::string, std::string> FValues;
    std::unordered_map<std::string, std::any> FObjects;
  };

  static std::int64_t SteadyMilliseconds() noexcept;
  std::int64_t NowMilliseconds() const noexcept { return FClock(); }
  // Drops the data so that what it holds goes now, not when the last holder lets go.
  void FreeData() noexcept;
  TSessionData& Data() const;  // caller holds FLock; raises when freed
  void PutObjectValue(const std::string& Key, std::any Value);
  std::any GetObjectValue(const std::string& Key) const;

  mutable std::mutex FLock;  // guards FSessionData, FUserName, FUserRoles
  std::unique_ptr<TSessionData> FSessionData;  // null once freed
  std::chrono::system_clock::time_point FStartDateTime;
  std::atomic<std::int32_t> FDuration{0};
  mutable std::atomic<TDSSessionStatus> FStatus{TDSSessionStatus::Active};  // sticky Expired
  TClock FClock = &SteadyMilliseconds;
  std::atomic<std::int64_t> FLastActivity;  // FClock's milliseconds
  std::string FUserName;
  std::string FSessionName;  // written by the manager before publication, then read-only
  std::vector<std::string> FUserRoles;
  TDSSessionLifetime FSessionLifetime = TDSSessionLifetime::TimeOut;  // as FSessionName
};

}  // namespace tavrin
