#include "dbxstream/context.h"

namespace tavrin {

void TDBXContext::Error(std::int32_t ErrorCode, const std::string& Message) const {
  TDBXError Raised(ErrorCode, Message);
  if (FErrorHook) FErrorHook(Raised);
  throw Raised;
}

bool TDBXContext::IsTracing() const noexcept {
  return FTraceSink &&
         (FTraceLevel == kTraceLevelReads || (FTraceFlags & kTraceFlagReads) != 0);
}

void TDBXContext::Trace(std::string_view Line) const {
  if (FTraceSink) FTraceSink(Line);
}

}  // namespace tavrin
