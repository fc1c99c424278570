#pragma once
// Values read from settings files ("[Section]" lines and "Key=Value" lines) the way the
// operating system's profile-string reading does: section and key found whatever their
// case, leading and trailing blanks of the value dropped, one pair of enclosing quotes
// (both " or both ') removed, at most kProfileValueMaxChars characters kept.
// Windows asks the system; elsewhere our own reader (settings_text.h) does the same.

#include <cstddef>
#include <string>

namespace tavrin::platform {

// Longest value read, in UTF-16 code units (the system reads into 2048 of them, one
// being the terminating null).
inline constexpr std::size_t kProfileValueMaxChars = 2047;

class IProfileStrings {
 public:
  virtual ~IProfileStrings() = default;
  // Key of Section in the settings file at Path (UTF-8, a product path: see
  // file_system.h). A missing file, section or key yields Default without its trailing
  // blanks. Never raises for a missing or unreadable file.
  virtual std::string ReadString(const std::string& Path, const std::string& Section,
                                 const std::string& Key, const std::string& Default) = 0;
};

class TSystemProfileStrings final : public IProfileStrings {
 public:
  std::string ReadString(const std::string& Path, const std::string& Section,
                         const std::string& Key, const std::string& Default) override;
};

}  // namespace tavrin::platform
