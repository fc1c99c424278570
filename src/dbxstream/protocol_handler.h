#pragma once
// What a transport holds and drives for one connection: the request loop over its
// channel. The transport calls SetUp once per batch of requests, then
// HandleNonBlockingProtocol whenever bytes are waiting.

namespace tavrin {

// Declared by the session layer; the protocol handler only hands it on to the session
// manager when it binds its session.
class TDSCustomAuthenticationManager;

class TDBXProtocolHandler {
 public:
  virtual ~TDBXProtocolHandler() = default;

  // Serves requests until request handling ends (a disconnect, a refused request, a
  // failure while reporting an error); then closes the codecs. Returns false then.
  // Raises TDBXError code 30 when a request's method cannot be read while requests are
  // still being handled (the peer vanished or sent garbage): the transport ends the
  // connection.
  virtual bool HandleProtocol() = 0;

  // Serves the requests that have arrived: reads one, answers it, and goes on while
  // unread bytes remain buffered. Returns true while requests are still handled. Same
  // error rule as HandleProtocol.
  virtual bool HandleNonBlockingProtocol() = 0;

  // Binds the connection's session (the first call creates it) and makes it the
  // current thread's session.
  virtual void SetUp(TDSCustomAuthenticationManager* AuthenticationManager) = 0;
};

}  // namespace tavrin
