#pragma once
// TvxServerMethods8765: the server class the mobile apps call. It logs a user in
// against the product's user table (FazerLogin), reports the server's version and
// whether the product's web module is installed, and carries the product-list query
// qryEst1 with its provider dsEst1. One instance per client session: the queries are
// the instance's own, the database session is shared.
//
// Threading: an instance is used by one connection thread at a time.

#include <cstdint>
#include <string>

#include "server/methods/class_declaration.h"
#include "server/methods/provider_data_module.h"
#include "provider/data_set_provider.h"
#include "engine/database_session.h"
#include "engine/query.h"
#include "engine/query_provider_support.h"
#include "product/login_throttle.h"
#include "product/remote_services.h"

namespace tavrin {

namespace TServerMethodsTexts {
inline constexpr char kClassName[] = "TvxServerMethods8765";
inline constexpr char kUnitName[] = "ServerMethodsUnit1";
inline constexpr char kModuleName[] = "vxServerMethods8765";
inline constexpr char kLoginQueryName[] = "qryLogin";
inline constexpr char kProductQueryName[] = "qryEst1";
inline constexpr char kProductProviderName[] = "dsEst1";
// The password the product's user table is protected with.
inline constexpr char kUsersPassword[] = "wendolq";
inline constexpr char kLoginStatement[] =
    "select nivel, inativo, mnctrlest from tabuser where upper(nome)=:pNome and upper(senha)=:pSenha";
inline constexpr const char* kProductStatement[] = {
    "select codigo, produto, precocusto, precovenda, quantidade",
    "from tabest1",
    "where (inativo is null) or (inativo=false)",
    "order by produto",
};
// Where the product's web module lives when it is installed.
inline constexpr char kWebModulePath[] = "c:\\inetpub\\wwwroot\\cgi-bin\\zulweb.exe";
// Log messages.
inline constexpr char kUserLoggingIn[] = " - Usu\u00e1rio ";  // + quoted name + kLoggingIn
inline constexpr char kLoggingIn[] = " fazendo login";
inline constexpr char kLoginOk[] = " - Login OK";
inline constexpr char kLoginWrong[] = " - Login incorreto";
inline constexpr char kNoAccess[] = " - Usu\u00e1rio sem acesso";
inline constexpr char kConnected[] = " - Banco de dados conectado";
inline constexpr char kDisconnected[] = " - Banco de dados desconectado";
}  // namespace TServerMethodsTexts

// The value VersaoServidor reports.
inline constexpr std::int32_t kServerVersion = 2;
// FazerLogin's answers besides the user's level.
inline constexpr std::int32_t kLoginRefused = 0;
inline constexpr std::int32_t kLoginWithoutAccess = -2;

// What an instance needs from outside; everything referred to must outlive the
// instances.
struct TServerMethodsServices {
  IActivityLogWriter& Log;
  TDataFolderSource DataFolder;
  TSession& DatabaseSession;
  // Whether a file exists at a path (the web module check).
  std::function<bool(const std::string& Path)> FileExists;
  // Slows the login answers to an address that keeps failing; none: never slowed.
  TLoginThrottle* LoginThrottle = nullptr;
};

class TvxServerMethods8765 : public TDSServerModule {
 public:
  explicit TvxServerMethods8765(const TServerMethodsServices& Services);

  // Event handlers of the queries; they ignore DataSet.
  void qryEst1BeforeOpen(TDataSet& DataSet);
  void qryEst1AfterOpen(TDataSet& DataSet);
  void qryEst1AfterClose(TDataSet& DataSet);

  // 0 when the login fails, -2 when the active user lacks access, otherwise the user's
  // level. The answer to a client address that failed too often lately comes late (see
  // TLoginThrottle), the same answer all the same. Raises the engine's EDatabaseError when the data folder, the table or the
  // statement fails (no " - Login " line then).
  std::int32_t FazerLogin(const std::u16string& Usuario, const std::u16string& Senha);
  std::int32_t VersaoServidor() const { return kServerVersion; }
  // 1 when the web module is installed on this machine, else 0.
  std::int32_t ZULWEB() const;

  TQuery& qryEst1() { return FqryEst1; }
  TQuery& qryLogin() { return FqryLogin; }
  // The product-list provider over qryEst1, registered with this module.
  TDataSetProvider& dsEst1() { return FdsEst1; }

 private:
  const TServerMethodsServices& FServices;
  TQuery FqryEst1;
  TQuery FqryLogin;
  // What qryEst1 answers its provider beyond its rows (keys, its end of a request).
  TQueryProviderSupport FqryEst1Support{FqryEst1};
  // After the query it serves, so it goes before the query does.
  TDataSetProvider FdsEst1;
};

// The class's declaration for a server class component, creating instances on
// Services (which must outlive the declaration's use).
TDSClassDeclaration ServerMethodsDeclaration(const TServerMethodsServices& Services);

}  // namespace tavrin
