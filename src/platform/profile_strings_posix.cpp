#include "platform/profile_strings.h"

#include <fstream>
#include <sstream>

#include "platform/file_system.h"
#include "platform/settings_text.h"

namespace tavrin::platform {

std::string TSystemProfileStrings::ReadString(const std::string& Path, const std::string& Section,
                                              const std::string& Key,
                                              const std::string& Default) {
  std::ifstream File(NativePath(Path), std::ios::binary);
  std::ostringstream Text;
  // A file that cannot be opened or read reads as empty: the default applies, as with
  // the system's reading.
  if (File) Text << File.rdbuf();
  return ReadProfileValue(Text.str(), Section, Key, Default);
}

}  // namespace tavrin::platform
