#include "app/tavrin/start_failure.h"

#include <system_error>

#include "shell/shell_constants.h"
#include "dataset/database_error.h"
#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {

std::string ClassName(const std::exception& Error) {
  if (dynamic_cast<const EDatabaseError*>(&Error) != nullptr) return "EDatabaseError";
  if (dynamic_cast<const TDBXError*>(&Error) != nullptr) return "TDBXError";
  if (dynamic_cast<const std::system_error*>(&Error) != nullptr) return "EOSError";
  return "Exception";
}

}  // namespace

std::string StartFailureMessage(const std::exception& Error) { return ClassName(Error) + ": " + Error.what(); }

std::string StartFailureText(const std::exception& Error) {
  // Appended rather than chained with +: GCC 12 sees a false out-of-bounds copy in
  // the chained form of a short literal.
  std::string Text(shell::kStartFailureCaption);
  Text.append(": ").append(StartFailureMessage(Error));
  return Text;
}

}  // namespace tavrin
