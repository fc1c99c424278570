#include "vocabulary/json_text.h"

#include <gtest/gtest.h>

#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {
namespace {

TEST(JsonText, KeepsMemberOrder) {
  const auto v = ParseJsonText(R"({"z":1,"a":[true,null],"m":"x"})");
  EXPECT_EQ(v.dump(), R"({"z":1,"a":[true,null],"m":"x"})");
}

TEST(JsonText, RefusesNestingBeyondTheCapAndMalformedText) {
  const auto Nested = [](std::size_t Depth) { return std::string(Depth, '[') + std::string(Depth, ']'); };
  EXPECT_NO_THROW(ParseJsonText(Nested(static_cast<std::size_t>(limits::kMaxJsonDepth))));
  try {
    ParseJsonText(Nested(100000));
    FAIL() << "deep nesting accepted";
  } catch (const TDBXError& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
    EXPECT_NE(e.Message().find("nested deeper"), std::string::npos);
  }
  EXPECT_THROW(ParseJsonText("{\"a\":"), TDBXError);
}

}  // namespace
}  // namespace tavrin
