#pragma once
// Finding the product's data folder, once, at the window's first activation: from the
// product's uninstall entry in the registry, redirected by the optional ROTAS.INI in
// the install folder, otherwise asked of the operator; a folder without the product's
// marker file ends the program.

#include <string>

#include "shell/operator_dialogs.h"
#include "shell/published_text.h"
#include "platform/file_system.h"
#include "platform/profile_strings.h"
#include "platform/registry.h"

namespace tavrin {

// The data folder in use, for every thread: empty from start-up until
// ResolveDataFolder publishes the folder found (the remote methods then pass it to the
// database engine), then unchanged for the rest of the run.
extern TPublishedText PastaDados;

struct TDataFolderServices {
  platform::IRegistry& Registry;
  platform::IProfileStrings& ProfileStrings;
  platform::IFileSystem& Files;
  IOperatorDialogs& Dialogs;
};

enum class TDataFolderOutcome {
  Found,          // the folder holds the marker file: show DataFolderStatusText
  MarkerMissing,  // the error box was shown and closed: end with kExitCodeNoDatabase
};

// Resolves the folder and publishes it in Target once it is known (a reader never sees
// a step in between), then checks for the marker file, showing the error box when it is
// missing. Errors reading the registry (a value that is not a string) propagate before
// anything is published or shown. GUI thread; meant to run once.
TDataFolderOutcome ResolveDataFolder(const TDataFolderServices& Services, TPublishedText& Target);

// Publishes Folder (given by the operator on the command line) in Target and checks it
// for the marker file as ResolveDataFolder does; registry, settings file and input box
// are not used.
TDataFolderOutcome PublishDataFolder(const std::string& Folder, const TDataFolderServices& Services,
                                     TPublishedText& Target);

// The status bar's text for Folder: "Pasta de dados: " followed by it.
std::string DataFolderStatusText(const std::string& Folder);

}  // namespace tavrin
