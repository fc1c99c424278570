#include "product/server_methods.h"

#include <memory>
#include <utility>

#include "vocabulary/client_text.h"
#include "server/methods/declaration_builder.h"
#include "server/sessions/session_manager.h"
#include "server/sessions/tcp_session_binder.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace MethodTexts = TServerMethodsTexts;

TvxServerMethods8765::TvxServerMethods8765(const TServerMethodsServices& Services)
    : FServices(Services),
      FqryEst1(Services.DatabaseSession),
      FqryLogin(Services.DatabaseSession),
      FdsEst1(this, MethodTexts::kProductProviderName) {
  FqryEst1.SetName(MethodTexts::kProductQueryName);
  FqryEst1.SetBeforeOpen([this](TDataSet& D) { qryEst1BeforeOpen(D); });
  FqryEst1.SetAfterOpen([this](TDataSet& D) { qryEst1AfterOpen(D); });
  FqryEst1.SetAfterClose([this](TDataSet& D) { qryEst1AfterClose(D); });
  FdsEst1.SetDataSet(&FqryEst1, &FqryEst1Support);
  FqryLogin.SetName(MethodTexts::kLoginQueryName);
  // The login query shares the product query's log lines; its closing line is written
  // just before it closes.
  FqryLogin.SetAfterOpen([this](TDataSet& D) { qryEst1AfterOpen(D); });
  FqryLogin.SetBeforeClose([this](TDataSet& D) { qryEst1AfterClose(D); });
}

void TvxServerMethods8765::qryEst1BeforeOpen(TDataSet&) {
  const std::string Folder = FServices.DataFolder();
  FServices.DatabaseSession.SetNetFileDir(Folder);
  FqryEst1.SetDatabaseName(Folder);
  FqryEst1.SQL().Clear();
  for (const char* Line : MethodTexts::kProductStatement) FqryEst1.SQL().Add(Line);
}

void TvxServerMethods8765::qryEst1AfterOpen(TDataSet&) { FServices.Log.Append(MethodTexts::kConnected); }

void TvxServerMethods8765::qryEst1AfterClose(TDataSet&) { FServices.Log.Append(MethodTexts::kDisconnected); }

namespace {
// The address of the client the calling connection thread serves; empty off the network.
std::string MethodsCallerAddress() {
  const auto Session = TDSSessionManager::GetThreadSession();
  return Session != nullptr ? Session->GetData(TDSTCPSessionBinder::kRemoteIPKey) : std::string();
}
}  // namespace

std::int32_t TvxServerMethods8765::FazerLogin(const std::u16string& Usuario, const std::u16string& Senha) {
  TLoginThrottle* const Throttle = FServices.LoginThrottle;
  const std::string Address = Throttle != nullptr ? MethodsCallerAddress() : std::string();
  // Decided before this attempt counts, so the first answer past the free failures waits.
  const auto Delay =
      Throttle != nullptr ? Throttle->DelayFor(Address, TLoginThrottle::TClock::now()) : std::chrono::milliseconds(0);
  const std::string User = ToUtf8(Usuario);
  FServices.Log.Append(std::string(MethodTexts::kUserLoggingIn) + '"' + LoggedClientText(User) + '"' +
                       MethodTexts::kLoggingIn);
  const std::string Folder = FServices.DataFolder();
  FServices.DatabaseSession.SetNetFileDir(Folder);
  FServices.DatabaseSession.AddPassword(MethodTexts::kUsersPassword);
  // Replacing the statement closes the query first, should a failed read have left it
  // open.
  FqryLogin.SQL().Clear();
  FqryLogin.SetDatabaseName(Folder);
  FqryLogin.SQL().Add(MethodTexts::kLoginStatement);
  FqryLogin.ParamByName("pNome").SetAsString(UpperAscii(User));
  FqryLogin.ParamByName("pSenha").SetAsString(UpperAscii(ToUtf8(Senha)));
  FqryLogin.Open();
  // Only the first row decides.
  const bool Accepted = !FqryLogin.IsEmpty() && !FqryLogin.Fields(1).AsBoolean();
  FServices.Log.Append(Accepted ? MethodTexts::kLoginOk : MethodTexts::kLoginWrong);
  std::int32_t Result = kLoginRefused;
  if (Accepted) {
    if (FqryLogin.Fields(2).AsBoolean()) {
      Result = FqryLogin.Fields(0).AsInteger();
    } else {
      FServices.Log.Append(MethodTexts::kNoAccess);
      Result = kLoginWithoutAccess;
    }
  }
  FqryLogin.Close();
  if (Throttle != nullptr) {
    if (Result == kLoginRefused) Throttle->RecordFailure(Address, TLoginThrottle::TClock::now());
    // On this connection's own thread, after the query let go of the database.
    Throttle->Wait(Delay);
  }
  return Result;
}

std::int32_t TvxServerMethods8765::ZULWEB() const {
  return FServices.FileExists(MethodTexts::kWebModulePath) ? 1 : 0;
}

TDSClassDeclaration ServerMethodsDeclaration(const TServerMethodsServices& Services) {
  using namespace declare;
  TDSClassDeclaration C;
  C.ClassName = MethodTexts::kClassName;
  C.UnitName = MethodTexts::kUnitName;
  C.ParentClassName = TDSProviderClassNames::kServerModule;
  C.Create = [&Services] { return std::make_unique<TvxServerMethods8765>(Services); };
  // The event handlers are published like any method; called remotely they run on the
  // instance's own product query, as the handlers ignore the dataset they are given.
  const auto Handler = [](std::string Name, void (TvxServerMethods8765::*Member)(TDataSet&)) {
    TDSMethodDeclaration M;
    M.Name = std::move(Name);
    M.Parameters = {{"DataSet", OfClass("TDataSet")}};
    M.Invoke = [Member](TDSServerObject& Instance, TDSMethodCall&) {
      auto& Self = dynamic_cast<TvxServerMethods8765&>(Instance);
      (Self.*Member)(Self.qryEst1());
    };
    return M;
  };
  C.Methods.push_back(Handler("qryEst1BeforeOpen", &TvxServerMethods8765::qryEst1BeforeOpen));
  C.Methods.push_back(Handler("qryEst1AfterOpen", &TvxServerMethods8765::qryEst1AfterOpen));
  C.Methods.push_back(Handler("qryEst1AfterClose", &TvxServerMethods8765::qryEst1AfterClose));
  const auto Simple = [](std::string Name, std::vector<TDSParameterDeclaration> Parameters, TDSInvoke Invoke) {
    TDSMethodDeclaration M;
    M.Name = std::move(Name);
    M.Parameters = std::move(Parameters);
    M.Result = Named("Integer");
    M.Invoke = std::move(Invoke);
    return M;
  };
  C.Methods.push_back(Simple("FazerLogin", {{"Usuario", Named("string")}, {"Senha", Named("string")}},
                             BindMethod(&TvxServerMethods8765::FazerLogin)));
  C.Methods.push_back(Simple("VersaoServidor", {}, BindMethod(&TvxServerMethods8765::VersaoServidor)));
  C.Methods.push_back(Simple("ZULWEB", {}, BindMethod(&TvxServerMethods8765::ZULWEB)));
  return C;
}

}  // namespace tavrin
