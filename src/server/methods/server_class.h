#pragma once
// TDSServerClass: the registration of one server class with the server. It supplies the
// class declaration when the registry is built, says how long instances live (the life
// cycle) and which role the class carries, and offers hooks around the instances' life
// and the preparing of the class's methods.
//
// Threading: configured before the server starts and read-only afterwards. The hooks
// run on connection threads, from many connections at once for a "Server" class, so
// what they touch beyond their argument must be thread-safe.
// Lifetime: a component must outlive the registry it was added to and every connection
// of that server (instances refer to it until they are destroyed).

#include <functional>
#include <string>

#include "server/methods/class_declaration.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/server_events.h"

namespace tavrin {

class TDSServerClass {
 public:
  // Supplies the declaration of the class; returning null (or leaving the hook empty)
  // makes the registry refuse to start. The declaration must outlive the registry.
  std::function<const TDSClassDeclaration*()> OnGetClass;
  // "Server", "Session" or "Invocation" (compared exactly; an empty text counts as
  // "Server"); any other text fails every prepare of the class's methods.
  std::string LifeCycle = TDSLifeCycles::kSession;
  std::string RoleName;

  // Optional. May put a new instance into the event argument; when it leaves it empty,
  // the server makes the instance from the declaration.
  std::function<void(TDSCreateInstanceEventObject&)> OnCreateInstance;
  // Optional. May take the instance out of the event argument and free it itself; what
  // it leaves there is freed after it returns.
  std::function<void(TDSDestroyInstanceEventObject&)> OnDestroyInstance;
  // Optional. Fires when a method of the class is prepared, before the server's own
  // prepare hook; what it raises fails the prepare.
  std::function<void(TDSPrepareEventObject&)> OnPrepare;

  // What OnGetClass supplies, or null when the hook is empty or supplied nothing.
  const TDSClassDeclaration* GetClass() const;
};

}  // namespace tavrin
