#pragma once
// EDatabaseError: a failure of the dataset layer or of the database engine under it
// (a missing folder or table, a refused password, a statement not accepted, a value
// that cannot be read as the type asked). It has the core's one error shape; a client
// receives it as any exception that is not a protocol error, with code 5 and the
// message.

#include <string>

#include "vocabulary/dbx_error.h"

namespace tavrin {

class EDatabaseError : public TDBXError {
 public:
  explicit EDatabaseError(const std::string& Message)
      : TDBXError(TDBXErrorCodes::NonDbxException, Message) {}
};

}  // namespace tavrin
