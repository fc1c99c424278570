#pragma once
// The portable reading of settings files: the file read by our own reader
// (settings_text.h), with the system's rules (see profile_strings.h). It is the
// profile-string reading off Windows and the stand-in the Windows reading is checked
// against.

#include <string>

#include "platform/profile_strings.h"

namespace tavrin::platform {

class TProfileFile final : public IProfileStrings {
 public:
  // A file that cannot be opened or read reads as empty: the default applies.
  std::string ReadString(const std::string& Path, const std::string& Section,
                         const std::string& Key, const std::string& Default) override;
};

}  // namespace tavrin::platform
