#include "platform/profile_strings.h"

#include <windows.h>

#include <vector>

#include "platform/utf16_win.h"

namespace tavrin::platform {

std::string TSystemProfileStrings::ReadString(const std::string& Path, const std::string& Section,
                                              const std::string& Key,
                                              const std::string& Default) {
  std::vector<wchar_t> Buffer(kProfileValueMaxChars + 1);
  const DWORD Length = GetPrivateProfileStringW(
      Widen(Section).c_str(), Widen(Key).c_str(), Widen(Default).c_str(), Buffer.data(),
      static_cast<DWORD>(Buffer.size()), Widen(Path).c_str());
  return Narrow(Buffer.data(), Length);
}

}  // namespace tavrin::platform
