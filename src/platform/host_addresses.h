#pragma once
// The machine's own IPv4 address on the local network: its host name resolved by the
// system's resolver.

#include <optional>
#include <string>

namespace tavrin::platform {

class IHostAddresses {
 public:
  virtual ~IHostAddresses() = default;
  // The first IPv4 address the resolver lists for this machine's host name, in
  // dotted-decimal form (on a machine with several adapters, whichever comes first).
  // nullopt when the socket library cannot be started or the name does not resolve to
  // any IPv4 address. Blocks while the resolver works.
  virtual std::optional<std::string> FirstHostIPv4() = 0;
};

class TSystemHostAddresses final : public IHostAddresses {
 public:
  std::optional<std::string> FirstHostIPv4() override;
};

}  // namespace tavrin::platform
