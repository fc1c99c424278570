#pragma once
// Text on the wire is a sequence of 16-bit code units; text inside the program
// (log lines, SQL, error messages) is UTF-8. These convert between the two.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// UTF-8 to UTF-16. A malformed UTF-8 sequence becomes U+FFFD; nothing is dropped silently.
std::u16string ToUtf16(std::string_view Utf8);
// The same, the code units appended to Out as little-endian byte pairs (as data packets
// and row buffers carry them), without a string in between.
void AppendUtf16LE(std::string_view Utf8, std::vector<std::uint8_t>& Out);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view Utf16);

// The text with a-z upper-cased and every other byte (accented letters included) kept:
// how names are compared ignoring letter case.
std::string UpperAscii(std::string_view Text);

// Whether A and B are the same text when a-z and A-Z count as one; every other unit
// (accented letters included) must match exactly.
bool SameTextIgnoringCase(std::string_view A, std::string_view B);
bool SameTextIgnoringCase(std::u16string_view A, std::u16string_view B);

}  // namespace tavrin
