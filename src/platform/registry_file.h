#pragma once
// The portable stand-in for the machine's registry: a settings file with one section
// per key, named by the key's path below the machine root, and one "Name=Value" line
// per string value. The value is the rest of the line after the first "=", exactly as
// written (blanks and quotes kept), as the registry would hand it over:
//
//   [SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ZUL]
//   UninstallString=\opt\zul\unins000.exe
//
// Key paths and value names match whatever their ASCII case, as in the registry.

#include <string>
#include <utility>

#include "platform/registry.h"

namespace tavrin::platform {

class TRegistryFile final : public IRegistry {
 public:
  explicit TRegistryFile(std::string Path) : FPath(std::move(Path)) {}

  // A file that cannot be read has no keys.
  std::optional<std::string> ReadMachineString(const std::string& KeyPath,
                                               const std::string& ValueName) override;

 private:
  std::string FPath;
};

}  // namespace tavrin::platform
