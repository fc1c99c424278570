#pragma once
// The two addresses the window shows for mobile clients: the machine's address on the
// local network and the public address of the site's internet connection. Both are
// looked up once, on the GUI thread, and only shown.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/host_addresses.h"
#include "platform/http_get.h"

namespace tavrin {

// The machine's LAN address in dotted-decimal form, or "Não detectado." when the
// lookup fails (no socket library, or a host name that does not resolve).
std::string ObterIPLocal(platform::IHostAddresses& Host);

// Asks each address-echo service in order, with the service's URL as the user-agent
// name, and returns the first answer that, with the characters of code 32 or less
// trimmed from both ends, passes IPValido. nullopt when no service gives one. Services
// after the one that answered are not asked. Blocks for as long as the services take.
std::optional<std::string> ObterIPInternet(platform::IHttpGet& Http,
                                           std::span<const std::string> ServiceUrls);

// True when Text is four parts separated by "." (every dot splits, parts are not
// trimmed), each converting to a number from 0 to 255 by the platform's text-to-integer
// rules: leading blanks, an optional sign, then decimal digits or hexadecimal digits
// after "$", "x" or "0x" (either case), and nothing after them.
bool IPValido(std::string_view Text);

}  // namespace tavrin
