// Finding the data folder with the registry, the settings file, the files and the
// operator's boxes replaced by doubles: where the folder comes from in each case, what
// the operator is asked and told, and what is published for the connection threads.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>

#include "shell/data_folder.h"

namespace tavrin {
namespace {

const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZUL";

class TFakeRegistry final : public platform::IRegistry {
 public:
  std::optional<std::string> UninstallString;  // nullopt: the key does not open
  bool NotAString = false;
  int Reads = 0;

  std::optional<std::string> ReadMachineString(const std::string& KeyPath,
                                               const std::string& ValueName) override {
    ++Reads;
    if (KeyPath != kUninstallKey || !UninstallString) return std::nullopt;
    if (ValueName != "UninstallString") return std::string();
    if (NotAString) throw std::runtime_error("Invalid data type for 'UninstallString'");
    return UninstallString;
  }
};

// ROTAS.INI files by path, each with its "Rota" value or none.
class TFakeProfileStrings final : public platform::IProfileStrings {
 public:
  std::map<std::string, std::optional<std::string>> Rota;
  std::vector<std::string> Defaults;  // the default of every read

  std::string ReadString(const std::string& Path, const std::string& Section,
                         const std::string& Key, const std::string& Default) override {
    Defaults.push_back(Default);
    const auto File = Rota.find(Path);
    if (File == Rota.end() || Section != "Geral" || Key != "Rota" || !File->second) return Default;
    return *File->second;
  }
};

class TFakeFiles final : public platform::IFileSystem {
 public:
  std::set<std::string> Existing;
  bool FileExists(const std::string& Path) override { return Existing.contains(Path); }
};

class TFakeDialogs final : public IOperatorDialogs {
 public:
  std::optional<std::string> Answer;  // nullopt: Cancel
  struct TInput {
    std::string Caption, Prompt, Initial;
    int MaxChars;
  };
  std::vector<TInput> Inputs;
  std::vector<std::pair<std::string, std::string>> Errors;  // caption, text

  std::optional<std::string> InputBox(const std::string& Caption, const std::string& Prompt,
                                      const std::string& Initial, int MaxChars) override {
    Inputs.push_back({Caption, Prompt, Initial, MaxChars});
    return Answer;
  }
  void ErrorBox(const std::string& Caption, const std::string& Text) override {
    Errors.emplace_back(Caption, Text);
  }
};

struct TDataFolderFixture {
  TFakeRegistry Registry;
  TFakeProfileStrings Profiles;
  TFakeFiles Files;
  TFakeDialogs Dialogs;
  TPublishedText Folder;

  TDataFolderOutcome Resolve() {
    for (const auto& [Path, Value] : Profiles.Rota) Files.Existing.insert(Path);
    return ResolveDataFolder({Registry, Profiles, Files, Dialogs}, Folder);
  }
};

struct TCase {
  const char* Name;
  std::optional<std::string> UninstallString;  // nullopt: no uninstall entry
  std::map<std::string, std::optional<std::string>> RotasIni;
  bool Asked;                          // the input box is expected
  std::optional<std::string> Typed;    // the operator's answer; nullopt: Cancel
  std::set<std::string> MarkerFiles;
  std::string Folder;                  // published
};

TEST(DataFolder, ComesFromTheRegistryRotasIniOrTheOperator) {
  const std::string Uninstaller = "C:\\ZUL\\unins000.exe";
  const std::string Rotas = "C:\\ZUL\\ROTAS.INI";
  const TCase Cases[] = {
      {"install folder, no ROTAS.INI", Uninstaller, {}, false, {}, {"C:\\ZUL\\zul.dll"}, "C:\\ZUL"},
      {"ROTAS.INI with a trailing delimiter", Uninstaller, {{Rotas, "D:\\Dados\\"}}, false, {},
       {"D:\\Dados\\zul.dll"}, "D:\\Dados"},
      {"ROTAS.INI with Rota empty", Uninstaller, {{Rotas, ""}}, false, {}, {"C:\\ZUL\\zul.dll"},
       "C:\\ZUL"},
      {"ROTAS.INI without Rota", Uninstaller, {{Rotas, std::nullopt}}, false, {},
       {"C:\\ZUL\\zul.dll"}, "C:\\ZUL"},
      {"ROTAS.INI with Rota a root", Uninstaller, {{Rotas, "E:\\"}}, false, {}, {"E:\\zul.dll"},
       "E:"},
      {"quoted uninstall string", "\"C:\\Program Files\\ZUL\\unins000.exe\"",
       {{"C:\\Program Files\\ZUL\\ROTAS.INI", "F:\\Base"}}, false, {}, {"F:\\Base\\zul.dll"},
       "F:\\Base"},
      {"quoted uninstall string with arguments", "\"C:\\ZUL\\unins000.exe\" /SILENT", {}, false,
       {}, {"C:\\ZUL\\zul.dll"}, "C:\\ZUL"},
      {"uninstaller beside a drive letter", "C:unins000.exe", {}, false, {}, {"C:\\zul.dll"}, "C:"},
      {"no uninstall entry, Cancel", std::nullopt, {}, true, std::nullopt,
       {"s:\\wzultab.ser\\zul.dll"}, "s:\\wzultab.ser"},
      {"typed folder keeps its trailing delimiter", std::nullopt, {}, true, "E:\\Base\\",
       {"E:\\Base\\zul.dll"}, "E:\\Base\\"},
      {"empty uninstall string", "", {}, true, "G:\\Z", {"G:\\Z\\zul.dll"}, "G:\\Z"},
      {"uninstall string without a folder", "unins000.exe", {}, true, "G:\\Z", {"G:\\Z\\zul.dll"},
       "G:\\Z"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TDataFolderFixture F;
    F.Registry.UninstallString = Case.UninstallString;
    F.Profiles.Rota = Case.RotasIni;
    F.Files.Existing = Case.MarkerFiles;
    F.Dialogs.Answer = Case.Typed;

    EXPECT_EQ(F.Resolve(), TDataFolderOutcome::Found);
    EXPECT_EQ(F.Folder.Get(), Case.Folder);
    EXPECT_TRUE(F.Dialogs.Errors.empty());
    ASSERT_EQ(F.Dialogs.Inputs.size(), Case.Asked ? 1u : 0u);
    if (Case.Asked) {
      const auto& Input = F.Dialogs.Inputs[0];
      EXPECT_EQ(Input.Caption, "Conexão ao banco de dados");
      EXPECT_EQ(Input.Prompt, "Informe a pasta onde está localizado o banco de dados:");
      EXPECT_EQ(Input.Initial, "s:\\wzultab.ser");
      EXPECT_EQ(Input.MaxChars, 255);
    }
    // ROTAS.INI is read only where it exists, with the install folder as the default.
    ASSERT_EQ(F.Profiles.Defaults.size(), Case.RotasIni.size());
    if (!Case.RotasIni.empty()) {
      EXPECT_EQ(F.Profiles.Defaults[0] + "\\ROTAS.INI", Case.RotasIni.begin()->first);
    }
  }
}

TEST(DataFolder, WithoutTheMarkerFileTheErrorBoxNamesTheFolderAsStored) {
  struct TMissing {
    const char* Name;
    std::optional<std::string> UninstallString;
    std::optional<std::string> Typed;
    std::string Message;
  };
  const TMissing Cases[] = {
      {"folder from the registry", "C:\\ZUL\\unins000.exe", {},
       "Não foi localizado um banco de dados do software ZUL na pasta C:\\ZUL"},
      {"typed with a trailing delimiter", std::nullopt, "E:\\Base\\",
       "Não foi localizado um banco de dados do software ZUL na pasta E:\\Base\\"},
      {"OK on an empty field", std::nullopt, "",
       "Não foi localizado um banco de dados do software ZUL na pasta "},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TDataFolderFixture F;
    F.Registry.UninstallString = Case.UninstallString;
    F.Dialogs.Answer = Case.Typed;
    // The marker is looked for with one trailing delimiter removed: an empty folder's
    // marker is "\zul.dll", at the root of the current drive.
    F.Files.Existing = {"C:\\ZUL\\\\zul.dll", "E:\\Base\\\\zul.dll", "zul.dll"};

    EXPECT_EQ(F.Resolve(), TDataFolderOutcome::MarkerMissing);
    ASSERT_EQ(F.Dialogs.Errors.size(), 1u);
    EXPECT_EQ(F.Dialogs.Errors[0].first, "Erro");
    EXPECT_EQ(F.Dialogs.Errors[0].second, Case.Message);
  }
}

TEST(DataFolder, ARegistryValueThatIsNoStringStopsBeforeAnythingIsShown) {
  TDataFolderFixture F;
  F.Registry.UninstallString = "C:\\ZUL\\unins000.exe";
  F.Registry.NotAString = true;
  F.Files.Existing = {"C:\\ZUL\\zul.dll"};
  EXPECT_THROW(F.Resolve(), std::runtime_error);
  EXPECT_EQ(F.Folder.Get(), "");
  EXPECT_TRUE(F.Dialogs.Inputs.empty());
  EXPECT_TRUE(F.Dialogs.Errors.empty());
}

TEST(DataFolder, StatusBarText) {
  EXPECT_EQ(DataFolderStatusText("C:\\ZUL"), "Pasta de dados: C:\\ZUL");
}

}  // namespace
}  // namespace tavrin
