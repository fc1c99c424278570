// A file's identity: the same file keeps it, a file written anew or moved over the name
// gets another, and there is none for a folder or a missing file.

#include "platform/file_identity.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace tavrin::platform {
namespace {

TEST(FileIdentity, ChangesWhenTheFileIsReplacedAndNotWhenItIsWritten) {
  const testing::TTempFolder Folder;
  const std::string Path = Folder.Write("tabelas.db", "um").string();
  const auto Before = FileIdentityOf(Path);
  ASSERT_TRUE(Before.has_value());
  EXPECT_EQ(FileIdentityOf(Path), Before);

  // Written again in place: the same file.
  Folder.Write("tabelas.db", "um e mais");
  EXPECT_EQ(FileIdentityOf(Path), Before);

  // Another file moved over the name, while the first one still exists elsewhere.
  std::filesystem::rename(Path, Folder.Path() / "antigo.db");
  const auto Other = Folder.Write("novo.db", "dois");
  std::filesystem::rename(Other, Path);
  const auto After = FileIdentityOf(Path);
  ASSERT_TRUE(After.has_value());
  EXPECT_NE(After, Before);
  EXPECT_EQ(FileIdentityOf((Folder.Path() / "antigo.db").string()), Before);

  EXPECT_FALSE(FileIdentityOf(Folder.Path().string()).has_value());
  EXPECT_FALSE(FileIdentityOf((Folder.Path() / "nenhum.db").string()).has_value());
}

}  // namespace
}  // namespace tavrin::platform
