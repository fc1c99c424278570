#pragma once
// Writes a string value into the machine's own settings store for the life of the
// object, where TSystemRegistry reads it: on Windows the registry's
// HKEY_LOCAL_MACHINE in the view of a 32-bit program (the key is deleted again
// afterwards), elsewhere the stand-in file named by TAVRIN_REGISTRY_FILE.

#include <string>

#include "support/temp_folder.h"

#if defined(_WIN32)
// Sockets' header first: a test program of this folder may use asio, which needs it
// before windows.h.
#include <winsock2.h>
#include <windows.h>

#include "platform/utf16_win.h"
#else
#include <cstdlib>

#include "platform/registry.h"
#endif

namespace tavrin::testing {

// The text of a stand-in registry file (platform/registry_file.h) holding one value.
inline std::string RegistryFileText(const std::string& Key, const std::string& Name,
                                    const std::string& Value) {
  return "[" + Key + "]\n" + Name + "=" + Value + "\n";
}

class TMachineRegistryValue {
 public:
  // Key: "\" between its parts below the machine root; Value as stored (UTF-8).
  // Ok() tells whether the value could be written.
  TMachineRegistryValue(const std::string& Key, const std::string& Name, const std::string& Value)
      : FKey(Key) {
#if defined(_WIN32)
    HKEY Opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, platform::Widen(Key).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &Opened, nullptr) != ERROR_SUCCESS) {
      return;
    }
    const std::wstring Data = platform::Widen(Value);
    FOk = RegSetValueExW(Opened, platform::Widen(Name).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(Data.c_str()),
                         static_cast<DWORD>((Data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(Opened);
#else
    FFile = FFolder.Write("registry.ini", RegistryFileText(Key, Name, Value)).string();
    FOk = ::setenv(platform::kRegistryFileVariable, FFile.c_str(), 1) == 0;
#endif
  }
  ~TMachineRegistryValue() {
#if defined(_WIN32)
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, platform::Widen(FKey).c_str(), KEY_WOW64_32KEY, 0);
#else
    ::unsetenv(platform::kRegistryFileVariable);
#endif
  }
  TMachineRegistryValue(const TMachineRegistryValue&) = delete;
  TMachineRegistryValue& operator=(const TMachineRegistryValue&) = delete;

  bool Ok() const { return FOk; }

 private:
#if !defined(_WIN32)
  TTempFolder FFolder;
  std::string FFile;
#endif
  std::string FKey;
  bool FOk = false;
};

}  // namespace tavrin::testing
