#pragma once
// Read-only access to the machine-wide settings store: the registry's
// HKEY_LOCAL_MACHINE on Windows, in the view a 32-bit program sees. Elsewhere a text
// file stands in for it (registry_file.h): the file named by the environment variable
// TAVRIN_REGISTRY_FILE, or kRegistryFileDefault when that is unset or empty.

#include <optional>
#include <string>

namespace tavrin::platform {

// Where the stand-in looks when the environment names no file.
inline constexpr const char* kRegistryFileDefault = "/etc/tavrin/registry.ini";
inline constexpr const char* kRegistryFileVariable = "TAVRIN_REGISTRY_FILE";

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // Opens KeyPath (below the machine root, "\" between its parts) read-only and reads
  // the string value ValueName. Returns nullopt when the key does not open, "" when the
  // value is missing or empty, else its text (UTF-8, as stored: quotes are kept).
  // Raises std::runtime_error when the value holds something other than a string.
  virtual std::optional<std::string> ReadMachineString(const std::string& KeyPath,
                                                       const std::string& ValueName) = 0;
};

class TSystemRegistry final : public IRegistry {
 public:
  std::optional<std::string> ReadMachineString(const std::string& KeyPath,
                                               const std::string& ValueName) override;
};

}  // namespace tavrin::platform
