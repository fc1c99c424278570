#include "platform/file_system.h"

#include <windows.h>

#include "platform/utf16_win.h"

namespace tavrin::platform {

std::string NativePath(const std::string& Path) { return Path; }

bool TSystemFileSystem::FileExists(const std::string& Path) {
  const DWORD Attributes = GetFileAttributesW(Widen(Path).c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace tavrin::platform
