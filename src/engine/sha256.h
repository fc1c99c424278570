#pragma once
// SHA-256 of a byte string, for the table passwords kept in a database (only their
// salted digests are stored, see table_protection.h).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

using TSha256Digest = std::array<std::uint8_t, 32>;

TSha256Digest Sha256(std::string_view Bytes);

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view Bytes);

}  // namespace tavrin
