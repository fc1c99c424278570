#include "platform/registry_file.h"

#include <fstream>
#include <sstream>

#include "platform/settings_text.h"

namespace tavrin::platform {

std::optional<std::string> TRegistryFile::ReadMachineString(const std::string& KeyPath,
                                                            const std::string& ValueName) {
  std::ifstream File(FPath, std::ios::binary);
  if (!File) return std::nullopt;
  std::ostringstream Text;
  Text << File.rdbuf();
  TSettingLookup Found = FindSetting(Text.str(), KeyPath, ValueName);
  if (!Found.SectionFound) return std::nullopt;
  return Found.RawValue ? std::move(*Found.RawValue) : std::string();
}

}  // namespace tavrin::platform
