#include "vocabulary/unicode_text.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(UnicodeText, RoundTripsEveryPlane) {
  const std::u16string Texts[] = {u"", u"ZUL", u"Conexão", u"\u00FF\u0100", u"\U0001F600 ok"};
  for (const auto& t : Texts) EXPECT_EQ(ToUtf16(ToUtf8(t)), t);
}

TEST(UnicodeText, MalformedInputBecomesReplacementCharacters) {
  struct Case { std::string Utf8; std::u16string Expected; };
  const Case Cases[] = {
      {"a\xC3", u"a\uFFFD"},            // truncated sequence
      {"\xC0\xAF", u"\uFFFD"},          // overlong slash
      {"\xED\xA0\x80", u"\uFFFD"},      // encoded surrogate
      {"\xFF" "b", u"\uFFFD" "b"},      // byte that never starts a sequence
  };
  for (const auto& c : Cases) EXPECT_EQ(ToUtf16(c.Utf8), c.Expected) << c.Utf8;
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tavrin
