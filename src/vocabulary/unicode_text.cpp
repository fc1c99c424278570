#include "vocabulary/unicode_text.h"

#include <algorithm>

#include <cstdint>

namespace tavrin {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& Out, char32_t c) {
  if (c < 0x80) {
    Out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    Out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    Out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    Out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    Out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    Out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    Out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

namespace {

// Decodes UTF-8, handing each UTF-16 code unit to Put; a malformed sequence gives U+FFFD.
template <typename TPut>
void DecodeUtf8(std::string_view Utf8, TPut&& Put) {
  const auto Unit = [&Put](char32_t c) {
    if (c < 0x10000) {
      Put(static_cast<char16_t>(c));
    } else {
      c -= 0x10000;
      Put(static_cast<char16_t>(0xD800 + (c >> 10)));
      Put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  };
  std::size_t i = 0;
  const std::size_t n = Utf8.size();
  while (i < n) {
    const auto b0 = static_cast<std::uint8_t>(Utf8[i]);
    if (b0 < 0x80) {
      Put(static_cast<char16_t>(b0));
      ++i;
      continue;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
      extra = 1; c = b0 & 0x1Fu; min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2; c = b0 & 0x0Fu; min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3; c = b0 & 0x07u; min = 0x10000;
    } else {
      Put(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (static_cast<std::uint8_t>(Utf8[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (static_cast<std::uint8_t>(Utf8[j]) & 0x3Fu);
    }
    if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      Put(static_cast<char16_t>(kReplacement));
      i = ok ? j : i + 1;
      continue;
    }
    Unit(c);
    i = j;
  }
}

}  // namespace

std::u16string ToUtf16(std::string_view Utf8) {
  std::u16string Out;
  Out.reserve(Utf8.size());
  DecodeUtf8(Utf8, [&Out](char16_t u) { Out.push_back(u); });
  return Out;
}

void AppendUtf16LE(std::string_view Utf8, std::vector<std::uint8_t>& Out) {
  // Never more units than bytes: room for all of them at once.
  const std::size_t Start = Out.size();
  Out.resize(Start + 2 * Utf8.size());
  std::uint8_t* At = Out.data() + Start;
  DecodeUtf8(Utf8, [&At](char16_t u) {
    *At++ = static_cast<std::uint8_t>(u);
    *At++ = static_cast<std::uint8_t>(u >> 8);
  });
  Out.resize(static_cast<std::size_t>(At - Out.data()));
}

std::string ToUtf8(std::u16string_view Utf16) {
  std::string Out;
  Out.reserve(Utf16.size());
  for (std::size_t i = 0; i < Utf16.size(); ++i) {
    const char16_t u = Utf16[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < Utf16.size() && Utf16[i + 1] >= 0xDC00 &&
        Utf16[i + 1] <= 0xDFFF) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                         (static_cast<char32_t>(Utf16[i + 1]) - 0xDC00);
      AppendUtf8(Out, c);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(Out, kReplacement);
    } else {
      AppendUtf8(Out, u);
    }
  }
  return Out;
}

std::string UpperAscii(std::string_view Text) {
  std::string Upper(Text);
  for (char& C : Upper) {
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  }
  return Upper;
}

namespace {

template <typename TChar>
bool SameTextIgnoringCaseOf(std::basic_string_view<TChar> A, std::basic_string_view<TChar> B) {
  const auto Lower = [](TChar C) { return (C >= 'A' && C <= 'Z') ? static_cast<TChar>(C - 'A' + 'a') : C; };
  return A.size() == B.size() &&
         std::equal(A.begin(), A.end(), B.begin(), [&](TChar X, TChar Y) { return Lower(X) == Lower(Y); });
}

}  // namespace

bool SameTextIgnoringCase(std::string_view A, std::string_view B) { return SameTextIgnoringCaseOf(A, B); }

bool SameTextIgnoringCase(std::u16string_view A, std::u16string_view B) { return SameTextIgnoringCaseOf(A, B); }

}  // namespace tavrin
