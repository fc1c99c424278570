#pragma once
// How a TCP channel hears that its remote session was closed elsewhere, without the
// transport knowing the session layer. The owner of the protocol handler factory
// implements it over the session manager.

#include <cstdint>
#include <functional>
#include <string>

namespace tavrin {

class TDSSessionEvents {
 public:
  // Told the name of every session that is closed or terminated. Called on the thread
  // that closes the session; must not raise.
  using TSessionClosed = std::function<void(const std::string& SessionName)>;

  virtual ~TDSSessionEvents() = default;

  // Registers Listener; the result unregisters it. Any thread.
  virtual std::uint64_t Subscribe(TSessionClosed Listener) = 0;
  // After this returns, Listener may still be running on another thread but is not
  // called again. Unknown ids are ignored. Any thread.
  virtual void Unsubscribe(std::uint64_t Subscription) = 0;

  // The name of the calling thread's current session, empty when it has none.
  virtual std::string ThreadSessionName() const = 0;
};

}  // namespace tavrin
