#pragma once
// Text a client sent, as the server shows it again in an error reply or a log line: cut,
// so that one client cannot make either huge, and, for the log, with every control
// character written out, so that a client cannot forge lines or drive the operator's
// terminal.

#include <string>
#include <string_view>

namespace tavrin {

// The first limits::kMaxQuotedClientChars characters of Utf8 (a byte that starts no
// well-formed sequence counts as one character), followed by "..." when there was more.
std::string QuotedClientText(std::string_view Utf8);

// QuotedClientText for a log line, with the C0 controls (CR, LF, ESC, NUL...), DEL, the
// C1 controls and stray bytes of no well-formed sequence written as \xHH, and U+2028 and
// U+2029 as \uHHHH. Other text, accented letters included, is kept as it is.
std::string LoggedClientText(std::string_view Utf8);

}  // namespace tavrin
