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

// A refusal met while a client's value was still arriving (a size past its cap, more
// memory than may be held for it): the rest of that value follows in the stream and
// would read as requests, so the connection ends once the error reply is out.
class TDBXMidValueRefusal : public TDBXError {
 public:
  using TDBXError::TDBXError;
};

// Runs Step, which reads part of a client's value; a TDBXError it raises leaves as a
// TDBXMidValueRefusal.
template <typename TStep>
void RefuseMidValue(TStep&& Step) {
  try {
    Step();
  } catch (const TDBXMidValueRefusal&) {
    throw;
  } catch (const TDBXError& Error) {
    throw TDBXMidValueRefusal(Error.ErrorCode(), Error.Message());
  }
}

}  // namespace tavrin
