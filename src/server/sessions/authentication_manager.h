#pragma once
// The credential and permission check a transport may hand to its sessions. This server
// configures none, so its sessions accept every user and every call; the interface is
// what a configured check would answer.

#include <map>
#include <string>
#include <vector>

namespace tavrin {

// The name/value properties a client sends with its connect request (UTF-8 texts).
using TDSConnectProperties = std::map<std::string, std::string, std::less<>>;

// Roles that may call a method and roles that may not.
struct TDSRoleLists {
  std::vector<std::string> AuthorizedRoles;
  std::vector<std::string> DeniedRoles;
};

// What a permission check is told about one method call.
struct TDSAuthorizeRequest {
  std::string MethodAlias;  // "Class.Method", as declared
  std::string UserName;
  std::vector<std::string> UserRoles;
  TDSRoleLists MethodRoles;  // from the method's role attribute or the manager
};

// One manager serves every connection of a transport, so each operation may be called
// from several connection threads at once: implementations must be thread-safe. The
// manager is not owned by the sessions that use it and must outlive them.
class TDSCustomAuthenticationManager {
 public:
  virtual ~TDSCustomAuthenticationManager() = default;

  // Checks a user's credentials at connect. The password and any other credentials
  // travel in the connect properties. On acceptance the manager may fill UserRoles with
  // the user's roles; returns false to refuse the user.
  virtual bool Authenticate(const std::string& UserName, const TDSConnectProperties& ConnectProperties,
                            std::vector<std::string>& UserRoles) = 0;

  // Decides whether the call described by Request may run; false refuses it.
  virtual bool Authorize(const TDSAuthorizeRequest& Request) = 0;

  // The roles allowed and denied for a method that carries no fixed role attribute.
  virtual TDSRoleLists GetAuthRoles(const std::string& ClassName, const std::string& MethodName) = 0;
};

}  // namespace tavrin
