#include "platform/file_identity.h"

#include <sys/stat.h>

namespace tavrin::platform {

std::optional<TFileIdentity> FileIdentityOf(const std::string& Path) {
  struct stat Info {};
  if (::stat(Path.c_str(), &Info) != 0 || !S_ISREG(Info.st_mode)) return std::nullopt;
  return TFileIdentity{static_cast<std::uint64_t>(Info.st_dev), static_cast<std::uint64_t>(Info.st_ino)};
}

}  // namespace tavrin::platform
