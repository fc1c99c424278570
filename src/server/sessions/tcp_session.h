#pragma once
// The sessions that consult an authentication manager, and the session of a TCP
// connection. Without a manager (the case in this server) every user and every call is
// accepted.

#include <string>
#include <string_view>

#include "server/sessions/session.h"

namespace tavrin {

// A session that asks FAuthManager, when there is one, for every check.
class TDSAuthSession : public TDSSession {
 public:
  // AuthManager may be null; it is not owned and must outlive the session's checks.
  explicit TDSAuthSession(TDSCustomAuthenticationManager* AuthManager) : FAuthManager(AuthManager) {}

  TDSCustomAuthenticationManager* AuthManager() const noexcept { return FAuthManager; }

  // Asks the manager with the session's user name; on acceptance the roles it names
  // become the session's roles. Accepts when there is no manager.
  bool Authenticate(const TDSConnectProperties& ConnectProperties) override;
  // Asks the manager; accepts when there is no manager.
  bool Authorize(const TDSAuthorizeRequest& Request) override;
  // True for every alias except the two that clients call before they log in:
  // "DSMetadata.GetDatabase" and "DSAdmin.GetPlatformName" (exact comparison).
  bool RequiresAuthorization(std::string_view MethodAlias) const override;
  // Empty lists without a manager; otherwise the fixed role attribute when there is one,
  // else the manager's roles for the class and method.
  TDSRoleLists GetAuthRoles(const std::string& ClassName, const std::string& MethodName,
                            const TDSRoleLists* DesignTimeRoles) override;

 private:
  TDSCustomAuthenticationManager* FAuthManager;
};

// The session of one TCP connection: TimeOut lifetime, no expiry (duration 0).
class TDSTCPSession : public TDSAuthSession {
 public:
  // Connect property that names the user.
  static constexpr std::string_view kAuthenticationUserProperty = "DSAuthenticationUser";

  using TDSAuthSession::TDSAuthSession;

  // A session without a user name yet takes it from the connect property
  // "DSAuthenticationUser" (when present); then the manager decides as above.
  bool Authenticate(const TDSConnectProperties& ConnectProperties) override;
};

}  // namespace tavrin
