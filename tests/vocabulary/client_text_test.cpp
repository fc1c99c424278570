#include "vocabulary/client_text.h"

#include <gtest/gtest.h>

#include <string>

#include "vocabulary/dbx_limits.h"

namespace tavrin {
namespace {

using namespace std::string_literals;

TEST(ClientText, TheLogWritesOutEveryControlAndKeepsOrdinaryText) {
  struct Case { std::string Sent; std::string Logged; };
  const Case Cases[] = {
      {"Jo\u00e3o \u00c1gua-1", "Jo\u00e3o \u00c1gua-1"},                  // accents stay
      {"ana\r\n12/03/2026 10:00:00 - Login OK", "ana\\x0D\\x0A12/03/2026 10:00:00 - Login OK"},
      {"a\x1b[2Jb\tc", "a\\x1B[2Jb\\x09c"},                                   // ESC, TAB
      {"x\0y"s, "x\\x00y"},                                                 // NUL
      {"del\x7f", "del\\x7F"},
      {"\u0085nel \u009bcsi \u00a0nbsp", "\\x85nel \\x9Bcsi \u00a0nbsp"},  // C1 controls, not U+00A0
      {"l\u2028p\u2029", "l\\u2028p\\u2029"},
      {"bad \xff \xc3 \xed\xa0\x80", "bad \\xFF \\xC3 \\xED\\xA0\\x80"},   // stray bytes
      {"\xf0\x9f\x98\x80 ok", "\xf0\x9f\x98\x80 ok"},                       // beyond U+FFFF
  };
  for (const auto& c : Cases) {
    EXPECT_EQ(LoggedClientText(c.Sent), c.Logged) << c.Logged;
    EXPECT_EQ(QuotedClientText(c.Sent), c.Sent) << c.Logged;  // replies escape nothing
  }
}

TEST(ClientText, LongTextIsCutAtTheCharacterLimit) {
  const auto Limit = static_cast<std::size_t>(limits::kMaxQuotedClientChars);
  std::string Accents;
  for (std::size_t i = 0; i < Limit; ++i) Accents += "\u00e9";
  // Exactly at the limit nothing is cut; one character more is, never inside a sequence.
  EXPECT_EQ(QuotedClientText(Accents), Accents);
  EXPECT_EQ(QuotedClientText(Accents + "\u00e9"), Accents + "...");
  EXPECT_EQ(QuotedClientText(std::string(30 << 20, 'n')), std::string(Limit, 'n') + "...");
  // The log cuts the text sent, then writes out what it kept.
  EXPECT_EQ(LoggedClientText(std::string(Limit + 1, '\n')), [&] {
    std::string Out;
    for (std::size_t i = 0; i < Limit; ++i) Out += "\\x0A";
    return Out + "...";
  }());
}

}  // namespace
}  // namespace tavrin
