#include "server/sessions/session_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <set>
#include <stdexcept>
#include <thread>

#include "vocabulary/dbx_error.h"
#include "server/sessions/tcp_session.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<TDSSession> MakeTcpSession() { return std::make_shared<TDSTCPSession>(nullptr); }

// Each test gets its own manager, so tests never see each other's sessions.
class DSSessionManagerTest : public ::testing::Test {
 protected:
  void TearDown() override { TDSSessionManager::ClearThreadSession(); }

  std::shared_ptr<TDSSession> Create(const std::string& User = "") {
    return Manager.CreateSession(MakeTcpSession, User);
  }

  TDSSessionManager Manager;
};

TEST_F(DSSessionManagerTest, IdsAreThreeNumbersBelowAMillionAndUnique) {
  const std::regex Form(R"((0|[1-9]\d{0,5})\.(0|[1-9]\d{0,5})\.(0|[1-9]\d{0,5}))");
  std::set<std::string> Ids;
  for (int i = 0; i < 500; ++i) {
    const auto Session = Create();
    EXPECT_TRUE(std::regex_match(Session->SessionName(), Form)) << Session->SessionName();
    EXPECT_EQ(Manager.GetSession(Session->SessionName()), Session);
    Ids.insert(Session->SessionName());
  }
  EXPECT_EQ(Ids.size(), 500u);
  EXPECT_EQ(Manager.GetSessionCount(), 500u);
  const auto Keys = Manager.GetOpenSessionKeys();
  EXPECT_EQ(std::set<std::string>(Keys.begin(), Keys.end()), Ids);
}

TEST_F(DSSessionManagerTest, CreatedSessionIsNamedRegisteredAndAnnounced) {
  std::shared_ptr<TDSSession> Found;
  std::string UserAtEvent;
  Manager.AddSessionEvent([&](TDSSessionEventType Event, const std::shared_ptr<TDSSession>& Session) {
    ASSERT_EQ(Event, TDSSessionEventType::Created);
    Found = Manager.GetSession(Session->SessionName());  // calling back in must not deadlock
    UserAtEvent = Session->UserName();
  });
  const auto Session = Create("maria");
  EXPECT_EQ(Found, Session);
  EXPECT_EQ(UserAtEvent, "maria");
  EXPECT_EQ(Session->Lifetime(), TDSSessionLifetime::TimeOut);
  EXPECT_EQ(Session->GetStatus(), TDSSessionStatus::Active);
  EXPECT_EQ(Session->Duration(), 0);

  const auto PerRequest = Manager.CreateSession(MakeTcpSession, "", TDSSessionLifetime::Request);
  EXPECT_EQ(PerRequest->SessionName(), "");
  EXPECT_EQ(Manager.GetSessionCount(), 1u) << "a Request session was registered";

  EXPECT_THROW(Manager.CreateSession([] { return std::shared_ptr<TDSSession>(); }, ""), TDBXError);
  EXPECT_EQ(Manager.GetSessionCount(), 1u);
}

// Close tells the listeners while the session is still Active; terminate marks it
// Closed first. Both end with the session Closed, unregistered and its data freed.
TEST_F(DSSessionManagerTest, CloseAndTerminateOrders) {
  const struct {
    const char* Name;
    bool (TDSSessionManager::*End)(const std::string&);
    TDSSessionStatus StatusSeenByListener;
  } Cases[] = {
      {"close", &TDSSessionManager::CloseSession, TDSSessionStatus::Active},
      {"terminate", &TDSSessionManager::TerminateSession, TDSSessionStatus::Closed},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const auto Session = Create();
    Session->PutData("RemoteIP", "10.1.1.1");
    std::vector<TDSSessionStatus> Seen;
    std::string DataSeen;
    const auto Id = Manager.AddSessionEvent([&](TDSSessionEventType Event, const std::shared_ptr<TDSSession>& S) {
      if (Event != TDSSessionEventType::Closed) return;
      Seen.push_back(S->GetStatus());
      DataSeen = S->GetData("RemoteIP");
    });

    EXPECT_TRUE((Manager.*Case.End)(Session->SessionName()));
    EXPECT_EQ(Seen, std::vector<TDSSessionStatus>{Case.StatusSeenByListener});
    EXPECT_EQ(DataSeen, "10.1.1.1") << "listeners must still see the data";
    EXPECT_EQ(Session->GetStatus(), TDSSessionStatus::Closed);
    EXPECT_EQ(Manager.GetSession(Session->SessionName()), nullptr);
    EXPECT_EQ(Manager.GetSessionCount(), 0u);
    EXPECT_THROW(Session->GetData("RemoteIP"), TDBXError);

    EXPECT_FALSE(Manager.CloseSession(Session->SessionName()));
    EXPECT_FALSE(Manager.TerminateSession(Session->SessionName()));
    EXPECT_EQ(Seen.size(), 1u) << "a second close announced the session again";
    Manager.RemoveSessionEvent(Id);
  }
}

TEST_F(DSSessionManagerTest, RemoveSessionHandsTheSessionOverSilently) {
  const auto Session = Create();
  int Events = 0;
  Manager.AddSessionEvent([&](TDSSessionEventType, const std::shared_ptr<TDSSession>&) { ++Events; });
  EXPECT_EQ(Manager.RemoveSession(Session->SessionName()), Session);
  EXPECT_EQ(Manager.RemoveSession(Session->SessionName()), nullptr);
  EXPECT_EQ(Events, 0);
  EXPECT_EQ(Session->GetStatus(), TDSSessionStatus::Active);
  Session->PutData("still", "usable");
}

TEST_F(DSSessionManagerTest, ListenersRunLastFirstAndMayRemoveListenersOrThrow) {
  std::vector<std::string> Calls;
  const auto First = Manager.AddSessionEvent([&](TDSSessionEventType, const std::shared_ptr<TDSSession>&) {
    Calls.push_back("first");
  });
  TDSSessionListenerId SelfId = 0;
  SelfId = Manager.AddSessionEvent([&](TDSSessionEventType, const std::shared_ptr<TDSSession>&) {
    Calls.push_back("once");
    Manager.RemoveSessionEvent(SelfId);
  });
  Manager.AddSessionEvent([&](TDSSessionEventType, const std::shared_ptr<TDSSession>&) {
    Calls.push_back("thrower");
    throw std::runtime_error("listener failed");
  });
  int LastCalls = 0;
  Manager.AddSessionEvent([&](TDSSessionEventType, const std::shared_ptr<TDSSession>&) {
    Calls.push_back("last");
    if (++LastCalls == 2) Manager.RemoveSessionEvent(First);
  });

  const auto Session = Create();
  EXPECT_EQ(Calls, (std::vector<std::string>{"last", "thrower", "once", "first"}));
  Calls.clear();
  EXPECT_TRUE(Manager.CloseSession(Session->SessionName())) << "a throwing listener undid the close";
  EXPECT_EQ(Calls, (std::vector<std::string>{"last", "thrower"}))
      << "a listener removed during the notification was still called";
  EXPECT_FALSE(Manager.RemoveSessionEvent(First));
  EXPECT_EQ(Session->GetStatus(), TDSSessionStatus::Closed);
}

TEST_F(DSSessionManagerTest, ListenerAndVisitorMayCloseOtherSessions) {
  // A connection whose session is closed elsewhere closes its partner in turn.
  const auto A = Create();
  const auto B = Create();
  const auto C = Create();
  Manager.AddSessionEvent([&](TDSSessionEventType Event, const std::shared_ptr<TDSSession>& S) {
    if (Event == TDSSessionEventType::Closed && S == A) Manager.CloseSession(B->SessionName());
  });
  EXPECT_TRUE(Manager.CloseSession(A->SessionName()));
  EXPECT_EQ(B->GetStatus(), TDSSessionStatus::Closed);
  EXPECT_EQ(Manager.GetSessionCount(), 1u);

  Manager.ForEachSession([&](const std::shared_ptr<TDSSession>& S) { Manager.CloseSession(S->SessionName()); });
  EXPECT_EQ(C->GetStatus(), TDSSessionStatus::Closed);
  EXPECT_EQ(Manager.GetSessionCount(), 0u);
}

TEST_F(DSSessionManagerTest, ThreadSessionSlotIsPerThreadAndClearedWhenItsSessionIsFreed) {
  const auto Mine = Create();
  const auto Other = Create();
  EXPECT_EQ(TDSSessionManager::GetThreadSession(), nullptr);
  TDSSessionManager::SetAsThreadSession(Mine);
  EXPECT_EQ(TDSSessionManager::GetThreadSession(), Mine);

  std::thread([&] {
    EXPECT_EQ(TDSSessionManager::GetThreadSession(), nullptr);
    TDSSessionManager::SetAsThreadSession(Other);
    // Closing a session this thread does not serve leaves this thread's slot alone,
    // and the session that other thread serves stays a valid (Closed) object there.
    EXPECT_TRUE(Manager.CloseSession(Mine->SessionName()));
    EXPECT_EQ(TDSSessionManager::GetThreadSession(), Other);
  }).join();
  EXPECT_EQ(TDSSessionManager::GetThreadSession(), Mine);
  EXPECT_FALSE(TDSSessionManager::GetThreadSession()->IsValid());

  TDSSessionManager::SetAsThreadSession(Other);
  EXPECT_TRUE(Manager.TerminateSession(Other->SessionName()));
  EXPECT_EQ(TDSSessionManager::GetThreadSession(), nullptr) << "the freed session stayed the thread's session";

  TDSSessionManager::SetAsThreadSession(Create());
  TDSSessionManager::ClearThreadSession();
  EXPECT_EQ(TDSSessionManager::GetThreadSession(), nullptr);
}

// Connections create sessions, listen for their closing and close them themselves or
// have them closed by a reaper, while other threads keep adding and removing listeners.
// Every connection must hear of its own session's end, every session must be created
// and closed exactly once, and the sanitizer builds must see no race or freed memory.
TEST_F(DSSessionManagerTest, ManyThreadsCreateAndCloseWhileListenersComeAndGo) {
  constexpr int kConnections = 8;
  constexpr int kSessionsEach = 300;
  std::atomic<int> Created{0};
  std::atomic<int> Closed{0};
  Manager.AddSessionEvent([&](TDSSessionEventType Event, const std::shared_ptr<TDSSession>&) {
    (Event == TDSSessionEventType::Created ? Created : Closed).fetch_add(1);
  });

  std::atomic<bool> Done{false};
  std::atomic<int> Failures{0};
  std::vector<std::thread> Threads;
  for (int c = 0; c < kConnections; ++c) {
    Threads.emplace_back([&, c] {
      for (int i = 0; i < kSessionsEach; ++i) {
        const auto Session = Create();
        auto Heard = std::make_shared<std::atomic<bool>>(false);
        const auto Id = Manager.AddSessionEvent(
            [Heard, Name = Session->SessionName()](TDSSessionEventType Event, const std::shared_ptr<TDSSession>& S) {
              if (Event == TDSSessionEventType::Closed && S->SessionName() == Name) Heard->store(true);
            });
        // A close that was already under way when the listener came does not reach it.
        if (Manager.GetSession(Session->SessionName()) == nullptr) Heard->store(true);
        TDSSessionManager::SetAsThreadSession(Session);
        try {
          Session->PutData("RemoteIP", "10.0.0." + std::to_string(c));
        } catch (const TDBXError&) {
          // The reaper got there first: a closed session has no data any more.
        }
        if ((i + c) % 2 == 0) Manager.CloseSession(Session->SessionName());
        const auto Deadline = std::chrono::steady_clock::now() + 20s;
        while (!Heard->load() && std::chrono::steady_clock::now() < Deadline) std::this_thread::yield();
        if (!Heard->load()) Failures.fetch_add(1);
        Manager.RemoveSessionEvent(Id);
        TDSSessionManager::ClearThreadSession();
      }
    });
  }
  std::thread Reaper([&] {
    for (bool Terminate = false; !Done.load(); Terminate = !Terminate) {
      Manager.ForEachSession([&](const std::shared_ptr<TDSSession>& S) {
        Terminate ? Manager.TerminateSession(S->SessionName()) : Manager.CloseSession(S->SessionName());
      });
      std::this_thread::yield();
    }
  });
  std::thread Churn([&] {
    while (!Done.load()) {
      // Owned by the listener: still alive if a call runs on after the removal.
      auto Calls = std::make_shared<std::atomic<int>>(0);
      const auto Id = Manager.AddSessionEvent([Calls, this](TDSSessionEventType, const std::shared_ptr<TDSSession>&) {
        Calls->fetch_add(1);
        Manager.GetSessionCount();
        throw std::runtime_error("ignored");
      });
      std::this_thread::yield();
      Manager.RemoveSessionEvent(Id);
    }
  });

  for (auto& Thread : Threads) Thread.join();
  Done.store(true);
  Reaper.join();
  Churn.join();

  EXPECT_EQ(Failures.load(), 0) << "connections never heard that their session closed";
  EXPECT_EQ(Created.load(), kConnections * kSessionsEach);
  EXPECT_EQ(Closed.load(), kConnections * kSessionsEach);
  EXPECT_EQ(Manager.GetSessionCount(), 0u);
}

}  // namespace
}  // namespace tavrin
