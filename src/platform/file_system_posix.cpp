#include "platform/file_system.h"

#include <sys/stat.h>

#include <algorithm>

namespace tavrin::platform {

std::string NativePath(const std::string& Path) {
  std::string Native = Path;
  std::replace(Native.begin(), Native.end(), '\\', '/');
  return Native;
}

bool TSystemFileSystem::FileExists(const std::string& Path) {
  struct stat Info {};
  return ::stat(NativePath(Path).c_str(), &Info) == 0 && !S_ISDIR(Info.st_mode);
}

}  // namespace tavrin::platform
