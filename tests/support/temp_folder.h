#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it
// when the object goes.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace tavrin::testing {

class TTempFolder {
 public:
  TTempFolder() {
    std::random_device Random;
    const auto Base = std::filesystem::temp_directory_path();
    do {
      FPath = Base / ("tavrin-" + std::to_string(Random()));
    } while (!std::filesystem::create_directory(FPath));
  }
  ~TTempFolder() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return FPath; }

  // Writes Name in the folder with exactly the bytes of Text.
  std::filesystem::path Write(std::string_view Name, std::string_view Text) const {
    const auto File = FPath / Name;
    std::ofstream(File, std::ios::binary) << Text;
    return File;
  }

  // The folder, followed by "\" and Name: a path written the product's way.
  std::string ProductPath(std::string_view Name) const {
    return FPath.string() + "\\" + std::string(Name);
  }

 private:
  std::filesystem::path FPath;
};

}  // namespace tavrin::testing
