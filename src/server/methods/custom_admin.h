#pragma once
// TDSCustomAdmin: the base of the built-in server classes. The instance is handed the
// connection handler of the connection it serves when it is obtained for a call, so its
// methods can see that connection and, through it, the server's registry.
//
// Every built-in class also publishes the methods it inherits from here: the server's
// name and the callback-channel methods. This server runs no callback channels, so those
// are listed with their signatures and refuse every call.

#include <cstdint>
#include <string>
#include <vector>

#include "server/methods/class_declaration.h"

namespace tavrin {

class TDSServerConnectionHandler;
class IDSServerMethodProvider;

// Refusals of the built-in classes. They share the code of operations this server does
// not offer.
namespace TDSAdminErrors {
inline constexpr char kNoCallbackChannels[] = "Callback channels are not supported by this server";
inline constexpr char kNoConnection[] = "The administration method is not bound to a connection";
}  // namespace TDSAdminErrors

// The class the built-in classes derive from, for "descends from" tests.
inline constexpr char kCustomAdminClassName[] = "TDSCustomAdmin";
// The unit the built-in classes are registered under.
inline constexpr char kBuiltInUnitName[] = "DSCommonServer";

class TDSCustomAdmin : public TDSServerObject {
 public:
  // Not owned; the handler outlives the instance (a "Session" instance is destroyed with
  // its connection handler).
  void SetConnectionHandler(TDSServerConnectionHandler* Handler) { FConnectionHandler = Handler; }
  TDSServerConnectionHandler* ConnectionHandler() const { return FConnectionHandler; }

  // The connection handler, or TDBXError code 30 when none was given.
  TDSServerConnectionHandler& Connection() const;
  // The registry of the server the connection belongs to.
  const IDSServerMethodProvider& Methods() const;

  // The name the server component was given; empty when it has none.
  std::u16string GetDSServerName() const;

 private:
  TDSServerConnectionHandler* FConnectionHandler = nullptr;
};

// The published methods every built-in class inherits, in order: GetDSServerName, then
// the twelve callback-channel methods.
std::vector<TDSMethodDeclaration> CustomAdminMethodDeclarations();

}  // namespace tavrin
