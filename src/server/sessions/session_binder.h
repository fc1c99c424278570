#pragma once
// What the protocol handler needs of the session layer, which lives above this folder:
// one remote session per connection, created on first use, made the current thread's
// session before each batch of requests, and closed when the connection goes. The
// session layer implements it; this layer only calls it.
//
// Threading: called by the connection's thread only. The session layer may close the
// session from elsewhere; the binder then forgets it (HasSession turns false).

namespace tavrin {

class TDSCustomAuthenticationManager;

class IDBXSessionBinder {
 public:
  // Unregisters whatever the binder registered with the session manager.
  virtual ~IDBXSessionBinder() = default;

  // True while the binder holds a session that was not closed.
  virtual bool HasSession() const = 0;
  // Creates and registers a new session for this connection with the authentication
  // manager (may be null: none), and starts listening for its closing. Raises on failure.
  virtual void CreateSession(TDSCustomAuthenticationManager* AuthenticationManager) = 0;
  // Makes the held session the current thread's session.
  virtual void MakeCurrentForThread() = 0;
  // Closes the held session through the session manager, if it is still open.
  virtual void CloseSession() = 0;
};

}  // namespace tavrin
