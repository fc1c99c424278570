#include "platform/profile_strings.h"

#include "platform/profile_file.h"

namespace tavrin::platform {

std::string TSystemProfileStrings::ReadString(const std::string& Path, const std::string& Section,
                                              const std::string& Key,
                                              const std::string& Default) {
  return TProfileFile().ReadString(Path, Section, Key, Default);
}

}  // namespace tavrin::platform
