#pragma once
// Whether a file exists, for paths written the way the product writes them: with "\"
// between folders. Windows takes such paths as they are; elsewhere every "\" stands for
// "/", so a data folder such as "/srv/zul" or "\srv\zul" followed by "\zul.dll" names
// /srv/zul/zul.dll.

#include <string>

namespace tavrin::platform {

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // True when Path (UTF-8) names an existing file that is not a folder. False on any
  // failure to look (no rights, invalid name).
  virtual bool FileExists(const std::string& Path) = 0;
};

class TSystemFileSystem final : public IFileSystem {
 public:
  bool FileExists(const std::string& Path) override;
};

// Path as the operating system takes it: unchanged on Windows, every "\" turned into
// "/" elsewhere. Whatever opens a product path (settings file, tables) goes through it.
std::string NativePath(const std::string& Path);

}  // namespace tavrin::platform
