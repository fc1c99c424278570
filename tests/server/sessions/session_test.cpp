#include "server/sessions/session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "vocabulary/dbx_error.h"
#include "server/sessions/session_manager.h"
#include "server/sessions/tcp_session.h"

namespace tavrin {
namespace {

std::shared_ptr<TDSSession> NewTcpSession(TDSCustomAuthenticationManager* Manager = nullptr) {
  return std::make_shared<TDSTCPSession>(Manager);
}

// A manager whose answers the test sets, and which records what it was asked.
struct TFakeAuthManager : TDSCustomAuthenticationManager {
  bool Accept = true;
  std::vector<std::string> Roles;
  TDSRoleLists MethodRoles;
  std::string AskedUser;
  std::string AskedAlias;

  bool Authenticate(const std::string& UserName, const TDSConnectProperties&,
                    std::vector<std::string>& UserRoles) override {
    AskedUser = UserName;
    if (Accept) UserRoles = Roles;
    return Accept;
  }
  bool Authorize(const TDSAuthorizeRequest& Request) override {
    AskedAlias = Request.MethodAlias;
    return Accept;
  }
  TDSRoleLists GetAuthRoles(const std::string&, const std::string&) override { return MethodRoles; }
};

TEST(DSSessionData, TextsAndObjectsByKey) {
  const auto Session = NewTcpSession();
  Session->PutData("RemoteIP", "10.0.0.7");
  Session->PutData("RemoteIP", "10.0.0.8");
  EXPECT_EQ(Session->GetData("RemoteIP"), "10.0.0.8");
  EXPECT_TRUE(Session->HasData("RemoteIP"));
  EXPECT_EQ(Session->GetData("Missing"), "");
  EXPECT_FALSE(Session->HasData("Missing"));
  Session->RemoveData("RemoteIP");
  EXPECT_FALSE(Session->HasData("RemoteIP"));

  Session->PutObject("Counter", std::make_shared<int>(42));
  ASSERT_NE(Session->GetObject<int>("Counter"), nullptr);
  EXPECT_EQ(*Session->GetObject<int>("Counter"), 42);
  EXPECT_EQ(Session->GetObject<double>("Counter"), nullptr) << "another type must not be reinterpreted";
  EXPECT_FALSE(Session->HasData("Counter")) << "texts and objects are separate";
  Session->RemoveObject("Counter");
  EXPECT_FALSE(Session->HasObject("Counter"));
}

TEST(DSSessionData, ClosedSessionRefusesDataAndReleasesObjects) {
  TDSSessionManager Manager;
  const auto Session = Manager.CreateSession([] { return NewTcpSession(); }, "");
  auto Stored = std::make_shared<int>(1);
  Session->PutObject("Held", Stored);
  Session->PutData("CommunicationProtocol", "tcp/ip");
  ASSERT_TRUE(Manager.CloseSession(Session->SessionName()));

  EXPECT_EQ(Stored.use_count(), 1) << "the closed session still holds its objects";
  for (const auto& Access : std::vector<std::function<void()>>{
           [&] { Session->GetData("CommunicationProtocol"); },
           [&] { Session->PutData("k", "v"); },
           [&] { Session->HasObject("Held"); },
       }) {
    try {
      Access();
      ADD_FAILURE() << "data access after close succeeded";
    } catch (const TDBXError& e) {
      EXPECT_EQ(e.Message(), "No session data");
    }
  }
}

// A clock the session tests move by hand, in milliseconds.
std::atomic<std::int64_t> SessionTestTime{0};
std::int64_t SessionTestClock() noexcept { return SessionTestTime.load(); }

std::shared_ptr<TDSSession> NewTimedSession() {
  auto Session = NewTcpSession();
  Session->SetClock(&SessionTestClock);
  return Session;
}

TEST(DSSessionStatus, ExpiresOnlyWithPositiveDurationAndStaysExpired) {
  const auto NoExpiry = NewTimedSession();
  const auto Long = NewTimedSession();
  Long->SetDuration(3'600'000);
  const auto Short = NewTimedSession();
  Short->SetDuration(10);
  SessionTestTime += 10;
  EXPECT_EQ(Short->GetStatus(), TDSSessionStatus::Active) << "expired at its time-out, not after it";
  SessionTestTime += 1;

  EXPECT_EQ(NoExpiry->GetStatus(), TDSSessionStatus::Active);
  EXPECT_EQ(Long->GetStatus(), TDSSessionStatus::Active);
  EXPECT_EQ(Short->GetStatus(), TDSSessionStatus::Expired);
  EXPECT_FALSE(Short->IsValid());
  Short->SetDuration(3'600'000);
  Short->MarkActivity();
  EXPECT_EQ(Short->GetStatus(), TDSSessionStatus::Expired) << "late activity revived an expired session";

  Long->Close();
  EXPECT_EQ(Long->GetStatus(), TDSSessionStatus::Closed);
  EXPECT_FALSE(Long->IsValid());
}

TEST(DSSessionStatus, ActivityRestartsTheTimeOut) {
  const auto Session = NewTimedSession();
  Session->SetDuration(1000);
  for (int i = 0; i < 3; ++i) {
    SessionTestTime += 900;
    Session->MarkActivity();
  }
  SessionTestTime += 1000;
  EXPECT_TRUE(Session->IsValid()) << "regular activity did not keep a 1 s time-out from expiring";
  SessionTestTime += 1;
  EXPECT_FALSE(Session->IsValid()) << "a second without activity past the last one did not expire";
}

TEST(DSSessionAuth, WithoutManagerAcceptsEverythingAndTakesTheUserFromTheProperty) {
  const auto Anonymous = NewTcpSession();
  EXPECT_TRUE(Anonymous->Authenticate({}));
  EXPECT_EQ(Anonymous->UserName(), "");

  const auto Session = NewTcpSession();
  EXPECT_TRUE(Session->Authenticate({{"DSAuthenticationUser", "maria"}, {"Other", "x"}}));
  EXPECT_EQ(Session->UserName(), "maria");
  EXPECT_TRUE(Session->Authenticate({{"DSAuthenticationUser", "joao"}}));
  EXPECT_EQ(Session->UserName(), "maria") << "a named session took a new name";

  EXPECT_TRUE(Session->Authorize({"Any.Method", "maria", {}, {}}));
  const TDSRoleLists Fixed{{"admin"}, {"guest"}};
  const TDSRoleLists Roles = Session->GetAuthRoles("Any", "Method", &Fixed);
  EXPECT_TRUE(Roles.AuthorizedRoles.empty());
  EXPECT_TRUE(Roles.DeniedRoles.empty());
  EXPECT_TRUE(Session->UserRoles().empty());
}

TEST(DSSessionAuth, ManagerDecidesAndGivesRoles) {
  TFakeAuthManager Manager;
  Manager.Roles = {"vendas"};
  Manager.MethodRoles = {{"gerente"}, {}};
  const auto Session = NewTcpSession(&Manager);

  EXPECT_TRUE(Session->Authenticate({{"DSAuthenticationUser", "ana"}}));
  EXPECT_EQ(Manager.AskedUser, "ana") << "the manager must see the user from the property";
  EXPECT_EQ(Session->UserRoles(), std::vector<std::string>{"vendas"});
  EXPECT_TRUE(Session->Authorize({"A.B", "ana", {"vendas"}, {}}));
  EXPECT_EQ(Manager.AskedAlias, "A.B");

  const TDSRoleLists Fixed{{"admin"}, {"guest"}};
  EXPECT_EQ(Session->GetAuthRoles("A", "B", &Fixed).AuthorizedRoles, Fixed.AuthorizedRoles);
  EXPECT_EQ(Session->GetAuthRoles("A", "B", nullptr).AuthorizedRoles, Manager.MethodRoles.AuthorizedRoles);

  Manager.Accept = false;
  EXPECT_FALSE(Session->Authenticate({}));
  EXPECT_EQ(Session->UserRoles(), std::vector<std::string>{"vendas"}) << "a refusal changed the roles";
  EXPECT_FALSE(Session->Authorize({"A.B", "ana", {}, {}}));
}

TEST(DSSessionAuth, WithAManagerRequiresAuthorizationExceptForTheTwoOpeningCalls) {
  const struct {
    const char* Alias;
    bool Required;
  } Cases[] = {
      {"DSMetadata.GetDatabase", false},
      {"DSAdmin.GetPlatformName", false},
      {"dsadmin.getplatformname", true},  // exact comparison, case included
      {"DSAdmin.GetPlatformName ", true},
      {"DSAdmin.GetServerClasses", true},
      {"Servidor.FazerLogin", true},
      {"", true},
  };
  TFakeAuthManager Manager;
  const auto Session = NewTcpSession(&Manager);
  const auto Unmanaged = NewTcpSession();
  for (const auto& Case : Cases) {
    EXPECT_EQ(Session->RequiresAuthorization(Case.Alias), Case.Required) << '"' << Case.Alias << '"';
    EXPECT_FALSE(Unmanaged->RequiresAuthorization(Case.Alias)) << "nothing to ask without a manager";
  }
}

}  // namespace
}  // namespace tavrin
