#include "platform/host_addresses.h"

// gethostbyname and inet_ntoa are the sockets 1.1 calls the lookup is defined by.
#define _WINSOCK_DEPRECATED_NO_WARNINGS
#include <winsock2.h>
#include <windows.h>

#include <array>
#include <cstring>

namespace tavrin::platform {
namespace {

constexpr std::size_t kHostNameBytes = 256;  // the buffer the host name is read into
constexpr WORD kSocketsVersion = MAKEWORD(1, 1);

// Starts the sockets library for the object's life. Only a successful start is
// balanced by a cleanup: a cleanup after a failed start would undo another user's
// start (the server's sockets).
class TSocketsLibrary {
 public:
  TSocketsLibrary() {
    WSADATA Data{};
    FStarted = WSAStartup(kSocketsVersion, &Data) == 0;
  }
  ~TSocketsLibrary() {
    if (FStarted) WSACleanup();
  }
  TSocketsLibrary(const TSocketsLibrary&) = delete;
  TSocketsLibrary& operator=(const TSocketsLibrary&) = delete;
  bool Started() const { return FStarted; }

 private:
  bool FStarted = false;
};

}  // namespace

std::optional<std::string> TSystemHostAddresses::FirstHostIPv4() {
  const TSocketsLibrary Sockets;
  if (!Sockets.Started()) return std::nullopt;
  std::array<char, kHostNameBytes> Name{};
  gethostname(Name.data(), static_cast<int>(Name.size() - 1));  // a failure is caught below
  // Sockets 1.1's lookup, as the product has always used; its result lives in the
  // calling thread's own storage.
  const hostent* Host = gethostbyname(Name.data());
  if (Host == nullptr || Host->h_addrtype != AF_INET || Host->h_addr_list == nullptr ||
      Host->h_addr_list[0] == nullptr) {
    return std::nullopt;
  }
  in_addr Address{};
  std::memcpy(&Address, Host->h_addr_list[0], sizeof Address);
  return std::string(inet_ntoa(Address));
}

}  // namespace tavrin::platform
