// The system's file services with paths written the product's way ("\" between
// folders): file existence and the settings-file reading.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system.h"
#include "platform/profile_strings.h"
#include "support/temp_folder.h"

namespace tavrin::platform {
namespace {

TEST(SystemFileSystem, FindsFilesButNotFoldersThroughProductPaths) {
  const testing::TTempFolder Folder;
  Folder.Write("zul.dll", "x");
  std::filesystem::create_directory(Folder.Path() / "sub");
  TSystemFileSystem Files;
  EXPECT_TRUE(Files.FileExists(Folder.ProductPath("zul.dll")));
  EXPECT_FALSE(Files.FileExists(Folder.ProductPath("sub")));
  EXPECT_FALSE(Files.FileExists(Folder.ProductPath("none.dll")));
  EXPECT_FALSE(Files.FileExists(""));
}

TEST(SystemFileSystem, NativePath) {
#ifdef _WIN32
  EXPECT_EQ(NativePath("C:\\ZUL\\zul.dll"), "C:\\ZUL\\zul.dll");
#else
  EXPECT_EQ(NativePath("\\srv\\zul\\zul.dll"), "/srv/zul/zul.dll");
  EXPECT_EQ(NativePath("/srv/zul\\zul.dll"), "/srv/zul/zul.dll");
#endif
}

TEST(SystemProfileStrings, ReadsTheFileAtAProductPath) {
  const testing::TTempFolder Folder;
  Folder.Write("ROTAS.INI", "[Geral]\r\nRota = \"D:\\Dados\\\" \r\n");
  TSystemProfileStrings Profiles;
  const std::string Path = Folder.ProductPath("ROTAS.INI");
  EXPECT_EQ(Profiles.ReadString(Path, "geral", "ROTA", "def"), "D:\\Dados\\");
  EXPECT_EQ(Profiles.ReadString(Path, "Geral", "Outra", "def  "), "def");
  EXPECT_EQ(Profiles.ReadString(Folder.ProductPath("NONE.INI"), "Geral", "Rota", "C:\\ZUL"),
            "C:\\ZUL");
}

}  // namespace
}  // namespace tavrin::platform
