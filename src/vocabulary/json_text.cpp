#include "vocabulary/json_text.h"

#include <string>

#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {
namespace {

struct TooDeep {};

}  // namespace

TJSONValue ParseJsonText(std::string_view Text) {
  // The callback sees the depth of every element as it is parsed, so a too deep
  // document is refused before its inner levels are built.
  const auto Guard = [](int Depth, TJSONValue::parse_event_t, TJSONValue&) {
    if (Depth > limits::kMaxJsonDepth) throw TooDeep{};
    return true;
  };
  try {
    return TJSONValue::parse(Text.begin(), Text.end(), Guard);
  } catch (const TooDeep&) {
    throw TDBXError(TDBXErrorCodes::LimitExceeded,
                    "JSON text nested deeper than " + std::to_string(limits::kMaxJsonDepth) +
                        " levels refused");
  } catch (const TJSONValue::exception& e) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, std::string("Invalid JSON text: ") + e.what());
  }
}

}  // namespace tavrin
