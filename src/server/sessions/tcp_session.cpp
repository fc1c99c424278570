#include "server/sessions/tcp_session.h"

#include <utility>
#include <vector>

namespace tavrin {

namespace {
// Methods a client calls before it has logged in; they are never checked.
constexpr std::string_view kUncheckedAliases[] = {"DSMetadata.GetDatabase", "DSAdmin.GetPlatformName"};
}  // namespace

bool TDSAuthSession::Authenticate(const TDSConnectProperties& ConnectProperties) {
  if (FAuthManager == nullptr) return true;
  std::vector<std::string> Roles;
  if (!FAuthManager->Authenticate(UserName(), ConnectProperties, Roles)) return false;
  SetUserRoles(std::move(Roles));
  return true;
}

bool TDSAuthSession::Authorize(const TDSAuthorizeRequest& Request) {
  return FAuthManager == nullptr || FAuthManager->Authorize(Request);
}

bool TDSAuthSession::RequiresAuthorization(std::string_view MethodAlias) const {
  // Without a manager every call is allowed: there is nothing to ask.
  if (FAuthManager == nullptr) return false;
  for (const auto Alias : kUncheckedAliases) {
    if (MethodAlias == Alias) return false;
  }
  return true;
}

TDSRoleLists TDSAuthSession::GetAuthRoles(const std::string& ClassName, const std::string& MethodName,
                                          const TDSRoleLists* DesignTimeRoles) {
  if (FAuthManager == nullptr) return {};
  if (DesignTimeRoles != nullptr) return *DesignTimeRoles;
  return FAuthManager->GetAuthRoles(ClassName, MethodName);
}

bool TDSTCPSession::Authenticate(const TDSConnectProperties& ConnectProperties) {
  if (UserName().empty()) {
    if (const auto It = ConnectProperties.find(kAuthenticationUserProperty); It != ConnectProperties.end()) {
      SetUserName(It->second);
    }
  }
  return TDSAuthSession::Authenticate(ConnectProperties);
}

}  // namespace tavrin
