// Finding the data folder through the machine's own registry and settings-file reading
// (on Windows the registry and GetPrivateProfileStringW themselves), checked against
// the portable stand-ins fed the same entry and the same ROTAS.INI: both must give the
// folder the product expects. Built for Windows only: elsewhere the system readers are
// the stand-ins, and the comparison would check nothing.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "shell/data_folder.h"
#include "shell/shell_constants.h"
#include "platform/file_system.h"
#include "platform/profile_file.h"
#include "platform/registry_file.h"
#include "support/machine_registry.h"
#include "support/temp_folder.h"

namespace tavrin {
namespace {

using testing::TTempFolder;

// Cancel on every input box; error boxes are kept.
class TCancellingDialogs final : public IOperatorDialogs {
 public:
  std::vector<std::string> Errors;
  std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&,
                                      int) override {
    return std::nullopt;
  }
  void ErrorBox(const std::string&, const std::string& Text) override { Errors.push_back(Text); }
};

struct TResolved {
  TDataFolderOutcome Outcome;
  std::string Folder;
  std::vector<std::string> Errors;
  bool operator==(const TResolved&) const = default;
};

void PrintTo(const TResolved& Resolved, std::ostream* Out) {
  *Out << (Resolved.Outcome == TDataFolderOutcome::Found ? "found " : "marker missing ") << '"'
       << Resolved.Folder << '"';
  for (const auto& Error : Resolved.Errors) *Out << ", error box \"" << Error << '"';
}

TResolved Resolve(platform::IRegistry& Registry, platform::IProfileStrings& Profiles) {
  platform::TSystemFileSystem Files;
  TCancellingDialogs Dialogs;
  TPublishedText Folder;
  const TDataFolderOutcome Outcome = ResolveDataFolder({Registry, Profiles, Files, Dialogs}, Folder);
  return {Outcome, Folder.Get(), Dialogs.Errors};
}

TEST(DataFolderOnTheSystem, RegistryAndRotasIniGiveWhatTheStandInsGive) {
  const TTempFolder Install;
  const std::string Data = Install.ProductPath("dados");
  std::filesystem::create_directory(Install.Path() / "dados");
  Install.Write("dados/zul.dll", "");
  Install.Write("zul.dll", "");
  const std::string Uninstaller = Install.ProductPath("unins000.exe");

  struct TCase {
    const char* Name;
    std::string UninstallString;
    std::optional<std::string> RotasIni;  // the file's text; nullopt: no file
    std::string Folder;                   // expected
  };
  const TCase Cases[] = {
      {"registry entry, no ROTAS.INI", Uninstaller, std::nullopt, Install.Path().string()},
      // Blanks around the value and its quotes are the reader's to drop; the delimiter
      // is ours.
      {"Rota with a trailing delimiter", Uninstaller, "[Geral]\r\nRota = \"" + Data + "\\\" \r\n", Data},
      {"Rota present but empty", Uninstaller, "[Geral]\r\nRota=\r\n", Install.Path().string()},
      {"Rota in other letter cases", Uninstaller, "[GERAL]\r\nrota=" + Data + "\r\n", Data},
      {"uninstall string in quotes", "\"" + Uninstaller + "\"", "[Geral]\r\nRota=" + Data + "\r\n", Data},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::filesystem::remove(Install.Path() / "ROTAS.INI");
    if (Case.RotasIni) Install.Write("ROTAS.INI", *Case.RotasIni);
    const std::string Key(shell::kUninstallKey);
    const std::string Value(shell::kUninstallValue);

    const testing::TMachineRegistryValue Entry(Key, Value, Case.UninstallString);
    ASSERT_TRUE(Entry.Ok()) << "the machine's registry could not be written";
    platform::TSystemRegistry Registry;
    platform::TSystemProfileStrings Profiles;
    const TResolved System = Resolve(Registry, Profiles);

    const TTempFolder StandInFolder;
    platform::TRegistryFile StandInRegistry(
        StandInFolder.Write("registry.ini", testing::RegistryFileText(Key, Value, Case.UninstallString)).string());
    platform::TProfileFile StandInProfiles;
    const TResolved StandIn = Resolve(StandInRegistry, StandInProfiles);

    EXPECT_EQ(System, (TResolved{TDataFolderOutcome::Found, Case.Folder, {}}));
    EXPECT_EQ(System, StandIn);
  }
}

}  // namespace
}  // namespace tavrin
