#pragma once
// The server's connection-level events and the argument objects they receive. The
// server sets the hooks once before it starts; every connection handler fires them.
// Each connection handler owns its own argument objects and rebuilds them at every
// connect, so a handler may keep a reference only for the duration of its call.
//
// Threading: a hook is called on the connection's thread, from many connections at
// once, so whatever a hook touches beyond its argument must be thread-safe.

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbxstream/channel.h"
#include "dbxstream/context.h"
#include "dbxstream/messages.h"
#include "server/methods/class_declaration.h"

namespace tavrin {

class TDSServerConnectionHandler;

// What every event argument carries: where the event happened.
struct TDSEventObject {
  TDBXContext* DbxContext = nullptr;
  TDSServerConnectionHandler* ConnectionHandler = nullptr;
};

// Connect and disconnect: the properties of the last connect and who the client is.
struct TDSConnectEventObject : TDSEventObject {
  TDBXProperties ConnectProperties;
  TDBXChannelInfo ChannelInfo;
};

// A request failed: the exception that its error reply reports.
struct TDSErrorEventObject : TDSEventObject {
  std::exception_ptr Error;
};

struct TDSAuthenticateEventObject : TDSEventObject {};

// A server class instance to be made: a create hook puts the new instance here (the
// server takes it over), or leaves it empty to let the server make one itself.
struct TDSCreateInstanceEventObject : TDSEventObject {
  std::unique_ptr<TDSServerObject> ServerClassInstance;
};
// A server class instance to be destroyed: a destroy hook may take it out and free it
// itself; whatever it leaves here is freed by the server after the hook.
struct TDSDestroyInstanceEventObject : TDSEventObject {
  std::unique_ptr<TDSServerObject> ServerClassInstance;
};

// A method about to be prepared, or a call about to be authorized.
struct TDSMethodEventObject : TDSEventObject {
  std::string MethodAlias;
  std::string ServerClassName;
  // The object the method runs on; not owned.
  TDSServerObject* MethodInstance = nullptr;
  std::string UserName;
  std::vector<std::string> UserRoles;
  std::vector<std::string> AuthorizedRoles;
  std::vector<std::string> DeniedRoles;
};
struct TDSPrepareEventObject : TDSMethodEventObject {};
struct TDSAuthorizeEventObject : TDSMethodEventObject {};

// The server's hooks; an empty one is not called. What OnError raises is swallowed by
// the caller (the error reply goes out regardless); what the others raise fails the
// request that fired them.
struct TDSServerEvents {
  std::function<void(const TDSConnectEventObject&)> OnConnect;
  std::function<void(const TDSConnectEventObject&)> OnDisconnect;
  std::function<void(const TDSErrorEventObject&)> OnError;
  std::function<void(TDSPrepareEventObject&)> OnPrepare;
};

}  // namespace tavrin
