#pragma once
// Every fixed text, name and limit of the application shell (main window, data folder,
// addresses, activity log), in one place. Texts are UTF-8.

#include <array>
#include <string_view>

namespace tavrin::shell {

// --- Main window ----------------------------------------------------------------------
inline constexpr std::string_view kWindowCaption = "TAVRIN - Velmora";
inline constexpr std::string_view kKeepRunningText = "Mantenha esta aplicação sempre ativa";
// Fixed: it does not follow the port the transport is told to listen on.
inline constexpr std::string_view kPortToOpenText =
    "Porta que deve ser aberta para conexão por internet: 211";
inline constexpr std::string_view kPortCheckLinkText =
    "Clique aqui para verificar se esta porta pode ser utilizada";
inline constexpr std::string_view kLogBoxCaption = "Log de ações do aplicativo:";
// The caption of the box showing a failure of the window's work when the application
// has no name of its own.
inline constexpr std::string_view kFailureBoxCaption = "TAVRIN";
// What that box says for a failure that carries no message.
inline constexpr std::string_view kUnknownFailureMessage = "Erro desconhecido";

// --- Data folder ----------------------------------------------------------------------
// The product's uninstall entry, below the machine root of the registry.
inline constexpr std::string_view kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZUL";
inline constexpr std::string_view kUninstallValue = "UninstallString";
// The optional settings file in the install folder that redirects the data folder.
inline constexpr std::string_view kRoutesFile = "\\ROTAS.INI";
inline constexpr std::string_view kRoutesSection = "Geral";
inline constexpr std::string_view kRoutesKey = "Rota";
// The file whose presence tells that a folder holds the product's database.
inline constexpr std::string_view kMarkerFile = "\\zul.dll";
inline constexpr char kPathDelimiter = '\\';
inline constexpr char kDriveDelimiter = ':';

// The box asking the operator for the folder when the registry names none.
inline constexpr std::string_view kFolderPromptCaption = "Conexão ao banco de dados";
inline constexpr std::string_view kFolderPromptText =
    "Informe a pasta onde está localizado o banco de dados:";
inline constexpr std::string_view kFolderPromptInitial = "s:\\wzultab.ser";
inline constexpr int kFolderPromptMaxChars = 255;  // longest folder the box accepts

// The box shown before the program ends when the folder lacks the marker file.
inline constexpr std::string_view kErrorCaption = "Erro";
inline constexpr std::string_view kNoDatabaseMessage =
    "Não foi localizado um banco de dados do software ZUL na pasta ";
inline constexpr int kExitCodeNoDatabase = 0;  // the program's exit code after that box

inline constexpr std::string_view kDataFolderStatusPrefix = "Pasta de dados: ";

// --- Addresses ------------------------------------------------------------------------
// What precedes each address where it is shown.
inline constexpr std::string_view kLanAddressCaption = "Endereço para conexão pela rede local: ";
inline constexpr std::string_view kInternetAddressCaption = "Endereço para conexão pela internet: ";
// The program without a window also says which port it listens on (it may be told
// another than the default, or any free one).
inline constexpr std::string_view kPortInUseCaption = "Porta em uso: ";
inline constexpr std::string_view kLanAddressUnknown = "Não detectado.";
inline constexpr std::string_view kInternetAddressUnavailable = "Não disponível";
// The public services that answer a GET with the caller's IPv4 address, asked in this
// order until one answers with a valid address: an address-lookup site's plain-text
// page, a minimal address echo, a dynamic-DNS provider's echo page.
inline constexpr std::array<std::string_view, 3> kDefaultAddressEchoServices{
    "https://ipinfo.io/ip",
    "https://api.ipify.org",
    "http://ip1.dynupdate.no-ip.com/",
};

// The public page that tells a visitor whether a TCP port of the visitor's public
// address can be reached from the internet; the window's link opens it.
inline constexpr std::string_view kPortCheckPage = "https://www.yougetsignal.com/tools/open-ports/";
// --- Activity log ---------------------------------------------------------------------
inline constexpr std::string_view kLogServerStarted = " - Servidor inicializado";
// --- Start-up failures ----------------------------------------------------------------
inline constexpr std::string_view kStartFailureCaption = "Application Error";
inline constexpr int kExitCodeStartFailure = 1;

}  // namespace tavrin::shell
