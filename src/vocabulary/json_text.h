#pragma once
// JSON values (data type 37, invocation metadata, description methods). Member order
// is kept, since clients read the description objects in the order they were built.

#include <nlohmann/json.hpp>
#include <string_view>

namespace tavrin {

using TJSONValue = nlohmann::ordered_json;

// Parses JSON text that came from a peer. Nesting deeper than limits::kMaxJsonDepth
// and malformed text raise TDBXError (code 2) naming the fault; nothing is returned
// half-built.
TJSONValue ParseJsonText(std::string_view Text);

}  // namespace tavrin
