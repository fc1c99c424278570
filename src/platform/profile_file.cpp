#include "platform/profile_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/file_system.h"
#include "platform/settings_text.h"

namespace tavrin::platform {

std::string TProfileFile::ReadString(const std::string& Path, const std::string& Section,
                                     const std::string& Key, const std::string& Default) {
  // The path is UTF-8 whatever the system's code page.
  const std::string Native = NativePath(Path);
  std::ifstream File(std::filesystem::path(std::u8string(Native.begin(), Native.end())),
                     std::ios::binary);
  std::ostringstream Text;
  if (File) Text << File.rdbuf();
  return ReadProfileValue(Text.str(), Section, Key, Default);
}

}  // namespace tavrin::platform
