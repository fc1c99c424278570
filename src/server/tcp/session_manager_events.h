#pragma once
// The TCP transport's view of the process's session manager: it hears the names of
// closed sessions, so a channel whose session was closed elsewhere can end, and it
// asks for the calling thread's session.
//
// Threading: every member may be called from any thread.

#include <cstdint>
#include <string>

#include "transport/session_events.h"

namespace tavrin {

class TDSSessionManagerEvents : public TDSSessionEvents {
 public:
  std::uint64_t Subscribe(TSessionClosed Listener) override;
  void Unsubscribe(std::uint64_t Subscription) override;
  std::string ThreadSessionName() const override;
};

}  // namespace tavrin
