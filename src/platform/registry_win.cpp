#include "platform/registry.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

#include "platform/utf16_win.h"

namespace tavrin::platform {
namespace {

class TKeyHandle {
 public:
  explicit TKeyHandle(HKEY Key) : FKey(Key) {}
  ~TKeyHandle() { RegCloseKey(FKey); }
  TKeyHandle(const TKeyHandle&) = delete;
  TKeyHandle& operator=(const TKeyHandle&) = delete;
  HKEY Get() const { return FKey; }

 private:
  HKEY FKey;
};

}  // namespace

std::optional<std::string> TSystemRegistry::ReadMachineString(const std::string& KeyPath,
                                                              const std::string& ValueName) {
  HKEY Opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(KeyPath).c_str(), 0, KEY_READ | KEY_WOW64_32KEY,
                    &Opened) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const TKeyHandle Key(Opened);
  const std::wstring Name = Widen(ValueName);

  DWORD Type = 0;
  DWORD Bytes = 0;
  // A missing value reads as empty text.
  if (RegQueryValueExW(Key.Get(), Name.c_str(), nullptr, &Type, nullptr, &Bytes) !=
          ERROR_SUCCESS ||
      Bytes == 0) {
    return std::string();
  }
  if (Type != REG_SZ && Type != REG_EXPAND_SZ) {
    throw std::runtime_error("Invalid data type for '" + ValueName + "'");
  }
  // Room for a terminating null the stored value may lack.
  std::vector<wchar_t> Buffer(Bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD Read = static_cast<DWORD>((Buffer.size() - 1) * sizeof(wchar_t));
  const LONG Status = RegQueryValueExW(Key.Get(), Name.c_str(), nullptr, &Type,
                                       reinterpret_cast<BYTE*>(Buffer.data()), &Read);
  if (Status != ERROR_SUCCESS) {
    throw std::runtime_error("Failed to get data for '" + ValueName + "'");
  }
  return Narrow(std::wstring(Buffer.data()));  // up to the first null
}

}  // namespace tavrin::platform
