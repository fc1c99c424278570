#pragma once
// The one error shape of the protocol and server layers: an integer code and a message.
// Raised where a fault is seen; the request loop turns it into an error reply.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavrin {

// Error codes used across the layers. The codes travel to clients in error replies,
// so their values never change.
namespace TDBXErrorCodes {
inline constexpr std::int32_t None = 0;
inline constexpr std::int32_t ReadError = 1;         // the channel delivered nothing
inline constexpr std::int32_t InvalidInput = 2;      // malformed stream input (tokens, numbers)
inline constexpr std::int32_t UnexpectedDataType = 3;
inline constexpr std::int32_t CommandClosed = 4;     // blob read after its command closed
inline constexpr std::int32_t NonDbxException = 5;   // any exception that is not a TDBXError
inline constexpr std::int32_t ReadOnlyType = 9;
inline constexpr std::int32_t BcdTooBig = 14;
inline constexpr std::int32_t LimitExceeded = 2;     // a client-sent size above our caps
}  // namespace TDBXErrorCodes

// Message texts are UTF-8.
class TDBXError : public std::runtime_error {
 public:
  TDBXError(std::int32_t ErrorCode, const std::string& Message)
      : std::runtime_error(Message), FErrorCode(ErrorCode) {}

  std::int32_t ErrorCode() const noexcept { return FErrorCode; }
  std::string Message() const { return what(); }

 private:
  std::int32_t FErrorCode;
};

}  // namespace tavrin
