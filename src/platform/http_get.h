#pragma once
// One HTTP(S) GET, through the system's internet library on Windows (WinINet) and
// libcurl elsewhere: the system's proxy settings apply, redirects are followed, and the
// body is handed back whatever the status code (an error page is a body too).

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace tavrin::platform {

// A body longer than this counts as a failed request: the answers asked for are a few
// bytes, and a server that streams without end must not fill the memory.
inline constexpr std::size_t kHttpBodyMaxBytes = 64 * 1024;
// Windows reads the body in chunks of this size.
inline constexpr std::size_t kHttpReadChunkBytes = 1024;

struct THttpTimeouts {
  // Longest wait for the connection to open.
  std::chrono::seconds Connect{60};
  // Longest silence from a server that is connected: a request whose server sends
  // nothing for this long ends, keeping what arrived before.
  std::chrono::seconds Stall{30};
};

class IHttpGet {
 public:
  virtual ~IHttpGet() = default;
  // Asks Url with UserAgent as the user-agent name. Returns the bytes of the body read
  // until its end or until a read failed; nullopt when the URL could not be opened (no
  // answer at all) or the body passed kHttpBodyMaxBytes. Never raises for network
  // failures. Blocks the calling thread; any thread may call it.
  virtual std::optional<std::string> Get(const std::string& Url, const std::string& UserAgent) = 0;
};

class TSystemHttpGet final : public IHttpGet {
 public:
  explicit TSystemHttpGet(THttpTimeouts Timeouts = {}) : FTimeouts(Timeouts) {}
  std::optional<std::string> Get(const std::string& Url, const std::string& UserAgent) override;

 private:
  THttpTimeouts FTimeouts;
};

}  // namespace tavrin::platform
