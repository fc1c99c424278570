#include "shell/data_folder.h"

#include "shell/shell_constants.h"

namespace tavrin {

TPublishedText PastaDados;

namespace {

using namespace shell;

// The folder part of a file name: everything up to and including the last "\" or ":".
std::string DirectoryPart(const std::string& FileName) {
  constexpr char kDelimiters[] = {kPathDelimiter, kDriveDelimiter, '\0'};
  const std::size_t Last = FileName.find_last_of(kDelimiters);
  return Last == std::string::npos ? std::string() : FileName.substr(0, Last + 1);
}

std::string WithoutTrailingDelimiter(std::string Path) {
  if (!Path.empty() && Path.back() == kPathDelimiter) Path.pop_back();
  return Path;
}

// The uninstaller's file name from an uninstall command. Installers commonly write it
// in double quotes (a path with blanks needs them to run); the quotes are no part of
// the name, and a folder whose name begins with a quote cannot exist.
std::string ProgramOf(const std::string& Command) {
  if (Command.empty() || Command.front() != '"') return Command;
  const std::size_t Close = Command.find('"', 1);
  return Command.substr(1, Close == std::string::npos ? std::string::npos : Close - 1);
}

std::string InstallFolder(platform::IRegistry& Registry) {
  const std::optional<std::string> Uninstaller =
      Registry.ReadMachineString(std::string(kUninstallKey), std::string(kUninstallValue));
  if (!Uninstaller) return {};
  return WithoutTrailingDelimiter(DirectoryPart(ProgramOf(*Uninstaller)));
}

// The folder named by the registry and ROTAS.INI, or "" when the registry names none.
std::string ConfiguredFolder(const TDataFolderServices& Services) {
  const std::string Install = InstallFolder(Services.Registry);
  if (Install.empty()) return {};
  std::string Folder;
  const std::string Routes = Install + std::string(kRoutesFile);
  if (Services.Files.FileExists(Routes)) {
    Folder = Services.ProfileStrings.ReadString(Routes, std::string(kRoutesSection),
                                                std::string(kRoutesKey), Install);
  }
  if (Folder.empty()) Folder = Install;  // no ROTAS.INI, or "Rota" present but empty
  return WithoutTrailingDelimiter(std::move(Folder));
}

}  // namespace

TDataFolderOutcome ResolveDataFolder(const TDataFolderServices& Services, TPublishedText& Target) {
  std::string Folder = ConfiguredFolder(Services);
  if (Folder.empty()) {
    // Cancel keeps the suggested folder; a typed folder is kept exactly as typed.
    Folder = Services.Dialogs
                 .InputBox(std::string(kFolderPromptCaption), std::string(kFolderPromptText),
                           std::string(kFolderPromptInitial), kFolderPromptMaxChars)
                 .value_or(std::string(kFolderPromptInitial));
  }
  return PublishDataFolder(Folder, Services, Target);
}

TDataFolderOutcome PublishDataFolder(const std::string& Folder, const TDataFolderServices& Services,
                                     TPublishedText& Target) {
  Target.Set(Folder);
  if (!Services.Files.FileExists(WithoutTrailingDelimiter(Folder) + std::string(kMarkerFile))) {
    Services.Dialogs.ErrorBox(std::string(kErrorCaption),
                              std::string(kNoDatabaseMessage) + Folder);
    return TDataFolderOutcome::MarkerMissing;
  }
  return TDataFolderOutcome::Found;
}

std::string DataFolderStatusText(const std::string& Folder) {
  return std::string(kDataFolderStatusPrefix) + Folder;
}

}  // namespace tavrin
