#include "product/server_methods.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "vocabulary/unicode_text.h"
#include "dataset/database_error.h"
#include "demo_data/demo_data.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "support/login_outcomes.h"
#include "support/temp_folder.h"

namespace tavrin::testing {
namespace {

namespace T = TServerMethodsTexts;

class TMethodsLog : public IActivityLogWriter {
 public:
  void Append(std::string_view Message) noexcept override {
    std::lock_guard Lock(FMutex);
    Lines.emplace_back(Message);
  }
  std::mutex FMutex;
  std::vector<std::string> Lines;
};

// A demo data folder, a session of its own and a fresh instance of the class.
class ServerMethodsTest : public ::testing::Test {
 protected:
  ServerMethodsTest() { CreateDemoData(Folder()); }
  std::string Folder() const { return FFolder.Path().string(); }
  void Execute(const std::string& Sql) const {
    TSqliteConnection Connection((FFolder.Path() / TDatabaseFiles::kDatabaseFileName).string(),
                                 TSqliteConnection::TOpenMode::ExistingFile);
    Connection.Execute(Sql);
  }
  std::int32_t Login(const std::string& User, const std::string& Password) {
    return FModule.FazerLogin(ToUtf16(User), ToUtf16(Password));
  }

  TTempFolder FFolder;
  TSession FSession;
  TMethodsLog FLog;
  std::string FDataFolder = Folder();
  std::vector<std::string> FCheckedPaths;
  TServerMethodsServices FServices{FLog, [this] { return FDataFolder; }, FSession,
                                   [this](const std::string& Path) {
                                     FCheckedPaths.push_back(Path);
                                     return false;
                                   }};
  TvxServerMethods8765 FModule{FServices};
};

// The lines a login of this outcome writes, as the methods' own log sees them.
std::vector<std::string> OutcomeLines(TLoginLines Outcome) {
  switch (Outcome) {
    case TLoginLines::Ok: return {T::kLoginOk};
    case TLoginLines::OkWithoutAccess: return {T::kLoginOk, T::kNoAccess};
    case TLoginLines::Wrong: return {T::kLoginWrong};
  }
  return {};
}

std::vector<std::string> LoginLines(const std::string& User, TLoginLines Outcome) {
  std::vector<std::string> Expected{std::string(T::kUserLoggingIn) + '"' + User + '"' + T::kLoggingIn,
                                    T::kConnected};
  for (const std::string& Line : OutcomeLines(Outcome)) Expected.push_back(Line);
  Expected.emplace_back(T::kDisconnected);
  return Expected;
}

TEST_F(ServerMethodsTest, EachLoginOutcomeAnswersAndLogsInOrder) {
  for (const TLoginOutcome& Case : kDemoLoginOutcomes) {
    SCOPED_TRACE(std::string(Case.User) + ": " + Case.Why);
    FLog.Lines.clear();
    EXPECT_EQ(Login(Case.User, Case.Password), Case.Result);
    EXPECT_EQ(FLog.Lines, LoginLines(Case.User, Case.Lines));
    EXPECT_FALSE(FModule.qryLogin().Active());
  }
  EXPECT_EQ(FSession.NetFileDir(), Folder());
  EXPECT_EQ(FSession.Passwords(), std::vector<std::string>{T::kUsersPassword});
}

TEST_F(ServerMethodsTest, UpperCasingRaisesOnlyAsciiLetters) {
  EXPECT_EQ(UpperAscii("jo\u00e3o caf\u00e9 z@a[`{"), "JO\u00e3O CAF\u00e9 Z@A[`{");
  // A name stored with the accented capital is not matched by its small spelling.
  Execute("update tabuser set nome = 'JO\u00c3O' where nome = 'jo\u00e3o'");
  EXPECT_EQ(Login("jo\u00e3o", "caf\u00e9"), 0);
  EXPECT_EQ(Login("JO\u00c3O", "caf\u00e9"), 5);
}

TEST_F(ServerMethodsTest, OnlyTheFirstMatchingRowDecides) {
  Execute("insert into tabuser (nome, senha, nivel, inativo, mnctrlest) values ('maria', 'MARIA2024', 7, 1, 1)");
  EXPECT_EQ(Login("maria", "maria2024"), 3);
  Execute("delete from tabuser where nome = 'maria' and nivel = 3");
  Execute("insert into tabuser (nome, senha, nivel, inativo, mnctrlest) values ('maria', 'MARIA2024', 8, 0, 1)");
  EXPECT_EQ(Login("maria", "maria2024"), 0);  // the inactive row now comes first
}

TEST_F(ServerMethodsTest, EngineFailureRaisesWithoutLoginLine) {
  FDataFolder = (FFolder.Path() / "missing").string();
  EXPECT_THROW(Login("admin", "zul123"), EDatabaseError);
  EXPECT_EQ(FLog.Lines, std::vector<std::string>{std::string(T::kUserLoggingIn) + "\"admin\"" + T::kLoggingIn});
  // The next call on the same instance works once the folder is there.
  FDataFolder = Folder();
  EXPECT_EQ(Login("admin", "zul123"), 9);
}

TEST_F(ServerMethodsTest, UnreadableLevelRaisesAndNextLoginRecovers) {
  Execute("update tabuser set nivel = 'abc' where nome = 'maria'");
  EXPECT_THROW(Login("maria", "maria2024"), EDatabaseError);
  EXPECT_EQ(FLog.Lines.back(), T::kLoginOk);
  EXPECT_EQ(Login("admin", "zul123"), 9);
}

TEST_F(ServerMethodsTest, VersionAndWebModule) {
  EXPECT_EQ(FModule.VersaoServidor(), 2);
  EXPECT_EQ(FModule.ZULWEB(), 0);
  EXPECT_EQ(FCheckedPaths, std::vector<std::string>{"c:\\inetpub\\wwwroot\\cgi-bin\\zulweb.exe"});
  EXPECT_TRUE(FLog.Lines.empty());
}

TEST_F(ServerMethodsTest, ProductQueryListsActiveProductsByDescriptionFromTheFolderOfEachOpening) {
  Execute("delete from tabest1;"
          "insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo) values"
          " (1, 'P\u00e3o', 0.5, 0.9, 120, null), (2, 'Feij\u00e3o', 4, 6, 0, 1), (3, 'Caf\u00e9', 10, 15.5, 3.25, 0),"
          " (4, 'Arroz', 3, 4.5, 10, 0), (5, 'Banana', 1, 2, 7, null)");
  struct TRow {
    std::int32_t Code;
    std::string Description;
    double Cost, Price, Quantity;
  };
  const auto Rows = [this] {
    std::vector<TRow> Got;
    TQuery& Query = FModule.qryEst1();
    Query.Open();
    EXPECT_EQ(Query.FieldCount(), 5);
    for (Query.First(); !Query.Eof(); Query.Next()) {
      Got.push_back({Query.Fields(0).AsInteger(), Query.Fields(1).AsString(), Query.Fields(2).AsFloat(),
                     Query.Fields(3).AsFloat(), Query.Fields(4).AsFloat()});
    }
    Query.Close();
    return Got;
  };
  const std::vector<TRow> Got = Rows();
  ASSERT_EQ(Got.size(), 4u);  // the inactive one left out
  const std::vector<std::int32_t> Codes{4, 5, 3, 1};
  for (std::size_t i = 0; i < Got.size(); ++i) EXPECT_EQ(Got[i].Code, Codes[i]) << Got[i].Description;
  EXPECT_EQ(Got[2].Description, "Caf\u00e9");
  EXPECT_EQ(Got[2].Cost, 10);
  EXPECT_EQ(Got[2].Price, 15.5);
  EXPECT_EQ(Got[2].Quantity, 3.25);
  EXPECT_EQ(FLog.Lines, (std::vector<std::string>{T::kConnected, T::kDisconnected}));
  EXPECT_TRUE(FSession.Passwords().empty());  // the product list adds no password

  // The next opening reads the folder the services name then.
  TTempFolder Other;
  CreateDemoData(Other.Path().string());
  FDataFolder = Other.Path().string();
  EXPECT_GT(Rows().size(), 4u);
  EXPECT_EQ(FModule.qryEst1().DatabaseName(), FDataFolder);
}

TEST_F(ServerMethodsTest, ProductProviderServesTheProductQueryWithDefaultSettings) {
  TDataSetProvider& Provider = FModule.dsEst1();
  EXPECT_EQ(Provider.Name(), "dsEst1");
  EXPECT_EQ(Provider.DataSet(), &FModule.qryEst1());
  EXPECT_TRUE(Provider.Exported());
  EXPECT_EQ(Provider.Options(), TProviderOption::poUseQuoteChar);
  EXPECT_EQ(Provider.UpdateMode(), TUpdateMode::upWhereAll);
  EXPECT_FALSE(Provider.ResolveToDataSet());
  EXPECT_TRUE(Provider.Constraints());
  // Registered with its instance, the only provider there.
  EXPECT_EQ(FModule.AS_GetProviderNames(), u"dsEst1");
  EXPECT_EQ(&FModule.GetProvider(u"DSEST1"), &Provider);
  EXPECT_FALSE(FModule.qryEst1().Active());
  EXPECT_TRUE(FLog.Lines.empty());
}

TEST_F(ServerMethodsTest, DeclarationListsMethodsInOrder) {
  const TDSClassDeclaration Declaration = ServerMethodsDeclaration(FServices);
  std::vector<std::string> Names;
  for (const auto& M : Declaration.Methods) Names.push_back(M.Name);
  EXPECT_EQ(Names, (std::vector<std::string>{"qryEst1BeforeOpen", "qryEst1AfterOpen", "qryEst1AfterClose",
                                             "FazerLogin", "VersaoServidor", "ZULWEB"}));
  EXPECT_EQ(Declaration.ClassName, "TvxServerMethods8765");
  EXPECT_NE(dynamic_cast<TvxServerMethods8765*>(Declaration.Create().get()), nullptr);
}

}  // namespace
}  // namespace tavrin::testing
