#pragma once
// The one error shape of the protocol and server layers: an integer code (error_codes.h)
// and a message.
// Raised where a fault is seen; the request loop turns it into an error reply.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "vocabulary/error_codes.h"

namespace tavrin {

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
