#include "platform/host_addresses.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace tavrin::platform {
namespace {

constexpr std::size_t kHostNameBytes = 256;  // the buffer the host name is read into

struct TAddressListCleanup {
  void operator()(addrinfo* List) const { freeaddrinfo(List); }
};

}  // namespace

std::optional<std::string> TSystemHostAddresses::FirstHostIPv4() {
  std::array<char, kHostNameBytes> Name{};
  // A failure leaves the buffer empty; resolving "" then fails below.
  gethostname(Name.data(), Name.size() - 1);

  // getaddrinfo rather than gethostbyname: the same lookup, safe on any thread.
  addrinfo Hints{};
  Hints.ai_family = AF_INET;
  Hints.ai_socktype = SOCK_STREAM;
  addrinfo* Found = nullptr;
  if (getaddrinfo(Name.data(), nullptr, &Hints, &Found) != 0 || Found == nullptr) {
    return std::nullopt;
  }
  const std::unique_ptr<addrinfo, TAddressListCleanup> List(Found);
  sockaddr_in Address{};
  std::memcpy(&Address, List->ai_addr, std::min<std::size_t>(List->ai_addrlen, sizeof Address));
  std::array<char, INET_ADDRSTRLEN> Text{};
  if (inet_ntop(AF_INET, &Address.sin_addr, Text.data(), Text.size()) == nullptr) {
    return std::nullopt;
  }
  return std::string(Text.data());
}

}  // namespace tavrin::platform
