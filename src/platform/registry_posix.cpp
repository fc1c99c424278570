#include "platform/registry.h"

#include <cstdlib>
#include <string>

#include "platform/registry_file.h"

namespace tavrin::platform {

std::optional<std::string> TSystemRegistry::ReadMachineString(const std::string& KeyPath,
                                                              const std::string& ValueName) {
  // Looked up at every read, so a change of the environment applies at once.
  const char* Named = std::getenv(kRegistryFileVariable);
  const std::string Path = Named != nullptr && *Named != '\0' ? Named : kRegistryFileDefault;
  return TRegistryFile(Path).ReadMachineString(KeyPath, ValueName);
}

}  // namespace tavrin::platform
