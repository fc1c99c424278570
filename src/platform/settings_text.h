#pragma once
// The text of a settings file, read without the operating system: "[Section]" lines open
// sections, "Name=Value" lines hold values, lines beginning with ";" are comments. Used
// by the portable profile-string reader and the portable stand-in for the registry.
// Section and value names match whatever their ASCII case; the first section of a name
// is the only one searched, and its first entry of a name wins. Text is UTF-8; a
// leading byte-order mark is skipped.

#include <optional>
#include <string>
#include <string_view>

namespace tavrin::platform {

struct TSettingLookup {
  bool SectionFound = false;
  // Everything after the first "=" up to the end of the line (a line without "=" holds
  // an empty value); nullopt when the section has no entry of that name.
  std::optional<std::string> RawValue;
};

TSettingLookup FindSetting(std::string_view Text, std::string_view Section,
                           std::string_view Name);

// Key of Section as the profile-string reading gives it (see profile_strings.h).
std::string ReadProfileValue(std::string_view Text, std::string_view Section,
                             std::string_view Key, std::string_view Default);

}  // namespace tavrin::platform
