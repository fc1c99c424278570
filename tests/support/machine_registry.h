#pragma once
// Writes a string value into the machine's own settings store for the life of the
// object, where TSystemRegistry reads it: on Windows the registry's
// HKEY_LOCAL_MACHINE in the view of a 32-bit program (the key is deleted again
// afterwards), elsewhere the stand-in file named by TAVRIN_REGISTRY_FILE.

#include <string>

#include "support/temp_folder.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdlib>

#include "platform/registry.h"
#endif

namespace tavrin::testing {

class TMachineRegistryValue {
 public:
  // Key: "\" between its parts below the machine root; Value as stored (UTF-8).
  // Ok() tells whether the value could be written.
  TMachineRegistryValue(const std::string& Key, const std::string& Name, const std::string& Value)
      : FKey(Key) {
#if defined(_WIN32)
    HKEY Opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(Key).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &Opened, nullptr) != ERROR_SUCCESS) {
      return;
    }
    const std::wstring Data = Wide(Value);
    FOk = RegSetValueExW(Opened, Wide(Name).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(Data.c_str()),
                         static_cast<DWORD>((Data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(Opened);
#else
    FFile = FFolder.Write("registry.ini", "[" + Key + "]\n" + Name + "=" + Value + "\n").string();
    FOk = ::setenv(platform::kRegistryFileVariable, FFile.c_str(), 1) == 0;
#endif
  }
  ~TMachineRegistryValue() {
#if defined(_WIN32)
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(FKey).c_str(), KEY_WOW64_32KEY, 0);
#else
    ::unsetenv(platform::kRegistryFileVariable);
#endif
  }
  TMachineRegistryValue(const TMachineRegistryValue&) = delete;
  TMachineRegistryValue& operator=(const TMachineRegistryValue&) = delete;

  bool Ok() const { return FOk; }

 private:
#if defined(_WIN32)
  static std::wstring Wide(const std::string& Text) {
    const int Size = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Result(static_cast<std::size_t>(Size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Result.data(), Size);
    return Result;
  }
#else
  TTempFolder FFolder;
  std::string FFile;
#endif
  std::string FKey;
  bool FOk = false;
};

}  // namespace tavrin::testing
