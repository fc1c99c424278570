#include "platform/settings_text.h"

#include <algorithm>
#include <cstdint>

#include "platform/profile_strings.h"

namespace tavrin::platform {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\v' || C == '\f'; }

std::string_view Trim(std::string_view Text) {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

char AsciiLower(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; }

bool SameName(std::string_view A, std::string_view B) {
  return std::equal(A.begin(), A.end(), B.begin(), B.end(),
                    [](char X, char Y) { return AsciiLower(X) == AsciiLower(Y); });
}

// Keeps at most kProfileValueMaxChars UTF-16 code units of the UTF-8 Text, never
// cutting a character in two. A byte that does not start a valid sequence counts as one.
std::string_view LimitToProfileLength(std::string_view Text) {
  std::size_t Units = 0;
  std::size_t Pos = 0;
  while (Pos < Text.size()) {
    const auto Lead = static_cast<std::uint8_t>(Text[Pos]);
    std::size_t Bytes = 1;
    std::size_t CharUnits = 1;
    if (Lead >= 0xF0 && Lead < 0xF8) {
      Bytes = 4;
      CharUnits = 2;  // a surrogate pair
    } else if (Lead >= 0xE0 && Lead < 0xF0) {
      Bytes = 3;
    } else if (Lead >= 0xC0 && Lead < 0xE0) {
      Bytes = 2;
    }
    Bytes = std::min(Bytes, Text.size() - Pos);
    if (Units + CharUnits > kProfileValueMaxChars) break;
    Units += CharUnits;
    Pos += Bytes;
  }
  return Text.substr(0, Pos);
}

}  // namespace

TSettingLookup FindSetting(std::string_view Text, std::string_view Section,
                           std::string_view Name) {
  if (Text.starts_with(kByteOrderMark)) Text.remove_prefix(kByteOrderMark.size());
  TSettingLookup Result;
  bool InSection = false;
  while (!Text.empty()) {
    const std::size_t End = std::min(Text.find('\n'), Text.size());
    std::string_view Line = Text.substr(0, End);
    Text.remove_prefix(std::min(End + 1, Text.size()));
    if (Line.ends_with('\r')) Line.remove_suffix(1);

    const std::string_view Trimmed = Trim(Line);
    if (Trimmed.empty() || Trimmed.front() == ';') continue;
    if (Trimmed.front() == '[') {
      if (InSection) break;  // only the first section of the name is searched
      std::string_view Header = Trimmed.substr(1);
      const std::size_t Close = Header.rfind(']');
      if (Close != std::string_view::npos) Header = Header.substr(0, Close);
      InSection = SameName(Trim(Header), Section);
      Result.SectionFound = Result.SectionFound || InSection;
      continue;
    }
    if (!InSection) continue;
    const std::size_t Equals = Line.find('=');
    if (!SameName(Trim(Line.substr(0, Equals)), Name)) continue;
    Result.RawValue = Equals == std::string_view::npos ? std::string()
                                                        : std::string(Line.substr(Equals + 1));
    break;
  }
  return Result;
}

std::string ReadProfileValue(std::string_view Text, std::string_view Section,
                             std::string_view Key, std::string_view Default) {
  const TSettingLookup Found = FindSetting(Text, Section, Key);
  if (!Found.RawValue) {
    // The system drops the default's trailing spaces (only spaces).
    while (!Default.empty() && Default.back() == ' ') Default.remove_suffix(1);
    return std::string(LimitToProfileLength(Default));
  }
  std::string_view Value = Trim(*Found.RawValue);
  if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
      Value.back() == Value.front()) {
    Value = Value.substr(1, Value.size() - 2);
  }
  return std::string(LimitToProfileLength(Value));
}

}  // namespace tavrin::platform
