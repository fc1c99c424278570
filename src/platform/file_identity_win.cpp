#include "platform/file_identity.h"

#include <windows.h>

#include "platform/utf16_win.h"

namespace tavrin::platform {

std::optional<TFileIdentity> FileIdentityOf(const std::string& Path) {
  // No access asked and every sharing mode allowed: looking must never stand in the way
  // of whoever writes or replaces the file.
  const HANDLE File = CreateFileW(Widen(Path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION Info{};
  const bool Known = GetFileInformationByHandle(File, &Info) != 0;
  CloseHandle(File);
  if (!Known || (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return TFileIdentity{Info.dwVolumeSerialNumber,
                       (static_cast<std::uint64_t>(Info.nFileIndexHigh) << 32) | Info.nFileIndexLow};
}

}  // namespace tavrin::platform
