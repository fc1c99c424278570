// The product's server on a loopback port, asked by the project's client: the
// connection lines, each login outcome with its log lines in order, the engine's
// failures as error replies, and a busy port.

#include "product/server_container.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <latch>
#include <mutex>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "vocabulary/dbx_limits.h"
#include "client/connection.h"
#include "engine/sqlite_connection.h"
#include "vocabulary/dbx_error.h"
#include "dbxstream/command_types.h"
#include "vocabulary/unicode_text.h"
#include "demo_data/demo_data.h"
#include "support/error_of.h"
#include "support/login_exchange.h"
#include "support/login_outcomes.h"
#include "support/temp_folder.h"
#include "transport/tcp_client_channel.h"
#include "transport/test_client.h"
#include "server/sessions/session_manager.h"

namespace tavrin::testing {
namespace {

namespace M = TServerMethodsTexts;
namespace C = TServerContainerTexts;
using Lines = std::vector<std::string>;

class TContainerLog : public IActivityLogWriter {
 public:
  void Append(std::string_view Message) noexcept override {
    std::lock_guard Lock(FMutex);
    FLines.emplace_back(Message);
  }
  Lines Snapshot() {
    std::lock_guard Lock(FMutex);
    return FLines;
  }
  // The lines once Last has been written, or what there is after a few seconds.
  Lines WaitFor(const std::string& Last) {
    for (int Attempt = 0; Attempt < 500; ++Attempt) {
      Lines Now = Snapshot();
      if (!Now.empty() && Now.back() == Last) return Now;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Snapshot();
  }
  void Clear() {
    std::lock_guard Lock(FMutex);
    FLines.clear();
  }

 private:
  std::mutex FMutex;
  Lines FLines;
};

// A demo data folder served by the product's container on an ephemeral port.
class ServerContainerTest : public ::testing::Test {
 protected:
  ServerContainerTest() { CreateDemoData(FFolder.Path().string()); }

  TTempFolder FFolder;
  TSession FSession;
  TContainerLog FLog;
  std::string FDataFolder = FFolder.Path().string();
  TServerMethodsServices FServices{FLog, [this] { return FDataFolder; }, FSession,
                                   [](const std::string& Path) { return Path == M::kWebModulePath; }};
  TServerContainer1 FContainer{FServices, {.Port = 0}};
};

// One client session: connect, calls, disconnect.
class TContainerClient {
 public:
  explicit TContainerClient(std::uint16_t Port, const std::string& Host = "127.0.0.1",
                            const std::string& LocalAddress = {})
      : FChannel(Host, Port, true, defaults::kConnectTimeout, LocalAddress), FConnection(FChannel) {
    FConnection.Connect({});
  }
  // Calls a method of the product's class with text arguments; returns its integer result.
  std::int32_t Call(const std::u16string& Method, const std::vector<std::string>& Arguments = {}) {
    const auto Prepared = FConnection.Prepare(TDSCommandTypes::kServerMethod, u"TvxServerMethods8765." + Method);
    TDBXRowBuffer& Row = FConnection.BeginParameters();
    for (const auto& Text : Arguments) Row.WriteString(ToUtf16(Text));
    Row.WriteNull();
    FConnection.Execute(Prepared.CommandHandle);
    FConnection.ParameterRow().GoToField(static_cast<std::int32_t>(Arguments.size()));
    const std::int32_t Result = FConnection.ParameterRow().ReadInt32();
    FConnection.CommandClose(Prepared.CommandHandle);
    return Result;
  }
  void Disconnect() { FConnection.Disconnect(); }

 private:
  TDBXTcpClientChannel FChannel;
  TDBXClientConnection FConnection;
};

std::string LoggingIn(const std::string& User) {
  return std::string(M::kUserLoggingIn) + '"' + User + '"' + M::kLoggingIn;
}

TEST_F(ServerContainerTest, EachLoginOutcomeAnswersWithItsLinesBetweenConnectAndDisconnect) {
  const std::string Connected = std::string(C::kConnected) + "127.0.0.1";
  const std::string Disconnected = std::string(C::kDisconnected) + "127.0.0.1";
  for (const TLoginOutcome& Case : kDemoLoginOutcomes) {
    SCOPED_TRACE(std::string(Case.User) + ": " + Case.Why);
    FLog.Clear();
    TContainerClient Client(FContainer.BoundPort());
    EXPECT_EQ(Client.Call(u"FazerLogin", {Case.User, Case.Password}), Case.Result);
    Client.Disconnect();
    Lines Expected{Connected, LoggingIn(Case.User), M::kConnected};
    switch (Case.Lines) {
      case TLoginLines::Ok: Expected.emplace_back(M::kLoginOk); break;
      case TLoginLines::OkWithoutAccess: Expected.insert(Expected.end(), {M::kLoginOk, M::kNoAccess}); break;
      case TLoginLines::Wrong: Expected.emplace_back(M::kLoginWrong); break;
    }
    Expected.insert(Expected.end(), {M::kDisconnected, Disconnected});
    EXPECT_EQ(FLog.WaitFor(Disconnected), Expected);
  }
}

TEST_F(ServerContainerTest, AUserNameCannotForgeLogLinesAndIsCut) {
  using namespace std::string_literals;
  // 40 characters of forgery, then more than the 256 a log line quotes.
  const std::string Forged = "ana\r\n11/12/2026 10:00:00 - Login OK\x1b[2J\0"s + std::string(300, 'x');
  const std::string Logged = "ana\\x0D\\x0A11/12/2026 10:00:00 - Login OK\\x1B[2J\\x00" +
                             std::string(limits::kMaxQuotedClientChars - 40, 'x') + "...";
  {
    TContainerClient Client(FContainer.BoundPort());
    EXPECT_EQ(Client.Call(u"FazerLogin", {Forged, "zul123"}), 0);
    Client.Disconnect();
  }
  const std::string Disconnected = std::string(C::kDisconnected) + "127.0.0.1";
  const Lines Got = FLog.WaitFor(Disconnected);
  EXPECT_EQ(Got, (Lines{std::string(C::kConnected) + "127.0.0.1", LoggingIn(Logged), M::kConnected,
                        M::kLoginWrong, M::kDisconnected, Disconnected}));
  TContainerClient Honest(FContainer.BoundPort());
  EXPECT_EQ(Honest.Call(u"FazerLogin", {"admin", "zul123"}), 9);
}

TEST_F(ServerContainerTest, TurnedAwayAndSilentClientsAreLoggedAndAnHonestClientStillLogsIn) {
  TServerContainer1 Strict{FServices, {.Port = 0, .MaxConnections = 2, .ConnectTimeoutMs = 300}};
  testing::TTestClient Silent;
  ASSERT_TRUE(Silent.Connect(Strict.BoundPort()));
  TContainerClient Honest(Strict.BoundPort());
  EXPECT_EQ(Honest.Call(u"FazerLogin", {"admin", "zul123"}), 9);
  testing::TTestClient TurnedAway;
  ASSERT_TRUE(TurnedAway.Connect(Strict.BoundPort()));
  EXPECT_TRUE(TurnedAway.ClosedByServer(std::chrono::milliseconds(1000)));
  EXPECT_TRUE(Silent.ClosedByServer());
  const std::string Refused = std::string(C::kRefused) + "127.0.0.1" + C::kRefusedReason;
  const std::string ClosedIdle = std::string(C::kClosedIdle) + "127.0.0.1";
  EXPECT_EQ(Refused, " - Conex\u00e3o recusada do endere\u00e7o 127.0.0.1: limite de conex\u00f5es atingido");
  EXPECT_EQ(ClosedIdle, " - Conex\u00e3o encerrada por inatividade do endere\u00e7o 127.0.0.1");
  const Lines Got = FLog.WaitFor(ClosedIdle);
  EXPECT_EQ(std::count(Got.begin(), Got.end(), Refused), 1) << Got.size();
  EXPECT_EQ(std::count(Got.begin(), Got.end(), ClosedIdle), 1) << Got.size();
  EXPECT_EQ(Honest.Call(u"FazerLogin", {"admin", "zul123"}), 9);
}

TEST_F(ServerContainerTest, AValueRefusedMidWayIsAnsweredThenItsConnectionClosedAndLogged) {
  // Metadata past the read buffer: refused before its bytes are read, so they would
  // read as requests.
  const std::string Metadata = R"({"k":")" + std::string(40'000, 'm') + R"("})";
  testing::TTestClient Abuser;
  ASSERT_TRUE(Abuser.Connect(FContainer.BoundPort()));
  Abuser.Send(R"({"method":"connect","params":[{}]}{"metadata":[)" + std::to_string(Metadata.size()) + "," +
              Metadata + "]}");
  const std::string Expected = R"({"result":[0,"Corvane",2]}{"error":{"name":"TDBXError","code":2,)"
                               R"("message":"Remote error: Metadata of )" +
                               std::to_string(Metadata.size()) + R"( bytes does not lie within the read buffer of 32768 bytes"})";
  EXPECT_EQ(Abuser.Read(Expected.size()), Expected);
  EXPECT_TRUE(Abuser.ClosedByServer());
  const std::string Closed = std::string(C::kClosedRefused) + "127.0.0.1" + C::kClosedRefusedReason;
  EXPECT_EQ(Closed, " - Conex\u00e3o encerrada do endere\u00e7o 127.0.0.1: pedido acima do limite");
  const Lines Got = FLog.WaitFor(Closed);
  EXPECT_EQ(std::count(Got.begin(), Got.end(), Closed), 1) << Got.size();
  TContainerClient Honest(FContainer.BoundPort());
  EXPECT_EQ(Honest.Call(u"FazerLogin", {"admin", "zul123"}), 9);
}

TEST_F(ServerContainerTest, GuessingPasswordsSlowsThatAddressOnlyAndNoAnswerChanges) {
  using std::chrono::milliseconds;
  constexpr milliseconds kLongest{800};
  TServerContainer1 Slowing{FServices, {.Port = 0, .LoginDelayMaxMs = static_cast<std::int32_t>(kLongest.count())}};
  TContainerClient Guesser(Slowing.BoundPort(), "127.0.0.1", "127.0.0.2");
  TContainerClient Honest(Slowing.BoundPort());
  const auto TimedLogin = [](TContainerClient& Client, const std::string& Password, milliseconds& Took) {
    const auto Began = std::chrono::steady_clock::now();
    const std::int32_t Result = Client.Call(u"FazerLogin", {"admin", Password});
    Took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - Began);
    return Result;
  };
  milliseconds Took{};
  for (int i = 0; i < TLoginThrottle::kFreeFailures; ++i) EXPECT_EQ(Guesser.Call(u"FazerLogin", {"admin", "x"}), 0);
  // Each answer now waits at least as long as its row says; a right password waits
  // like a wrong one and is still answered right. Only failures make the wait grow.
  const struct { const char* Password; std::int32_t Result; milliseconds AtLeast; } Cases[] = {
      {"x", 0, kLongest / 8}, {"x", 0, kLongest / 4}, {"zul123", 9, kLongest / 2},
      {"x", 0, kLongest / 2}, {"x", 0, kLongest},
  };
  for (const auto& c : Cases) {
    EXPECT_EQ(TimedLogin(Guesser, c.Password, Took), c.Result) << c.AtLeast.count();
    EXPECT_GE(Took, c.AtLeast);
  }
  // While the guesser waits its longest, an honest client on another address is
  // answered at once.
  std::int32_t Guessed = -1;
  milliseconds GuesserTook{};
  std::thread Slowed([&] { Guessed = TimedLogin(Guesser, "x", GuesserTook); });
  std::this_thread::sleep_for(kLongest / 8);
  EXPECT_EQ(TimedLogin(Honest, "zul123", Took), 9);
  Slowed.join();
  EXPECT_LT(Took, kLongest / 2);
  EXPECT_EQ(Guessed, 0);
  EXPECT_GE(GuesserTook, kLongest);
  // The guesser's lines carry its address.
  const Lines Got = FLog.Snapshot();
  EXPECT_NE(std::find(Got.begin(), Got.end(), std::string(C::kConnected) + "127.0.0.2"), Got.end());
}

TEST_F(ServerContainerTest, TwoMatchingRowsLetTheFirstDecide) {
  // A second "MARIA" row, inactive, stored after the active one.
  TQuery Insert(FSession);
  FSession.AddPassword(M::kUsersPassword);
  Insert.SetDatabaseName(FDataFolder);
  Insert.SQL().Add("insert into tabuser (nome, senha, nivel, inativo, mnctrlest) values ('MARIA', 'MARIA2024', 1, 1, 1)");
  Insert.ExecSQL();
  TContainerClient Client(FContainer.BoundPort());
  EXPECT_EQ(Client.Call(u"FazerLogin", {"maria", "maria2024"}), 3);
}

TEST_F(ServerContainerTest, AnEngineFailureReachesTheClientAsAnErrorReplyWithoutALoginLine) {
  FDataFolder = (FFolder.Path() / "missing").string();
  TContainerClient Client(FContainer.BoundPort());
  const std::string Error = ErrorOf([&] { Client.Call(u"FazerLogin", {"admin", "zul123"}); }).Message();
  EXPECT_NE(Error.find("missing"), std::string::npos) << Error;
  for (const auto& Line : FLog.Snapshot()) EXPECT_EQ(Line.find(" - Login"), std::string::npos) << Line;
  // The connection goes on serving.
  EXPECT_EQ(Client.Call(u"VersaoServidor"), 2);
}

TEST_F(ServerContainerTest, AClientsThreadKeepsOneDatabaseConnectionUntilTheClientLeaves) {
  const std::int64_t OpenedBefore = TSqliteConnection::OpenedCount();
  TContainerClient Client(FContainer.BoundPort());
  for (int Login = 0; Login < 3; ++Login) EXPECT_EQ(Client.Call(u"FazerLogin", {"maria", "maria2024"}), 3);
  EXPECT_EQ(TSqliteConnection::OpenCount(), 1);
  EXPECT_EQ(TSqliteConnection::OpenedCount() - OpenedBefore, 1);
  Client.Disconnect();
  // Its thread parks in the pool and gives the connection back.
  for (int Wait = 0; Wait < 500 && TSqliteConnection::OpenCount() > 0; ++Wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(TSqliteConnection::OpenCount(), 0);
}

TEST_F(ServerContainerTest, FiftyClientsLoggingInAtOnceEachGetTheirOwnAnswerAndAStopLeavesNoDatabaseFileOpen) {
  constexpr std::size_t kClients = 50;
  constexpr std::size_t kLoginsEach = 4;
  constexpr std::size_t kOutcomes = std::size(kDemoLoginOutcomes);
  auto Server = std::make_unique<TServerContainer1>(FServices, TServerContainerSettings{.Port = 0});
  std::vector<std::unique_ptr<TContainerClient>> Clients;
  for (std::size_t i = 0; i < kClients; ++i) Clients.push_back(std::make_unique<TContainerClient>(Server->BoundPort()));
  // Neighbours ask for different users, so an answer that reached the wrong client or a
  // binding shared between threads shows as a wrong level.
  std::vector<std::string> Wrong[kClients];
  std::latch Start(kClients);
  std::vector<std::thread> Threads;
  for (std::size_t i = 0; i < kClients; ++i) {
    Threads.emplace_back([&, i] {
      Start.arrive_and_wait();
      for (std::size_t Login = 0; Login < kLoginsEach; ++Login) {
        const TLoginOutcome& Case = kDemoLoginOutcomes[(i + Login) % kOutcomes];
        std::string Got;
        try {
          const std::int32_t Result = Clients[i]->Call(u"FazerLogin", {Case.User, Case.Password});
          if (Result == Case.Result) continue;
          Got = std::to_string(Result);
        } catch (const std::exception& Error) {
          Got = Error.what();
        }
        Wrong[i].push_back(std::string(Case.User) + ": " + Got + " instead of " + std::to_string(Case.Result));
      }
    });
  }
  for (std::thread& Thread : Threads) Thread.join();
  for (std::size_t i = 0; i < kClients; ++i) {
    for (const std::string& Answer : Wrong[i]) ADD_FAILURE() << "client " << i << ", " << Answer;
  }
  const Lines Log = FLog.Snapshot();
  EXPECT_EQ(std::count(Log.begin(), Log.end(), std::string(C::kConnected) + "127.0.0.1"),
            static_cast<std::ptrdiff_t>(kClients));
  EXPECT_EQ(std::count_if(Log.begin(), Log.end(), [](const std::string& Line) { return Line.ends_with(M::kLoggingIn); }),
            static_cast<std::ptrdiff_t>(kClients * kLoginsEach));
  EXPECT_EQ(TSqliteConnection::OpenCount(), static_cast<std::int64_t>(kClients));  // one per connection thread

  Server.reset();  // with every client still connected
  EXPECT_EQ(TSqliteConnection::OpenCount(), 0);
}

TEST_F(ServerContainerTest, ARestartOnTheSamePortRightAfterAStopThatClosedLiveConnectionsServesAtOnce) {
  auto First = std::make_unique<TServerContainer1>(FServices, TServerContainerSettings{.Port = 0});
  const std::uint16_t Port = First->BoundPort();
  {
    std::vector<std::unique_ptr<TContainerClient>> Clients;
    for (int i = 0; i < 3; ++i) {
      Clients.push_back(std::make_unique<TContainerClient>(Port));
      EXPECT_EQ(Clients.back()->Call(u"FazerLogin", {"admin", "zul123"}), 9);
    }
    // The server closes them first: its side of each connection lingers on the port.
    First.reset();
  }
  std::unique_ptr<TServerContainer1> Second;
  try {
    Second = std::make_unique<TServerContainer1>(FServices, TServerContainerSettings{.Port = Port});
  } catch (const TDBXError& Error) {
    FAIL() << Error.Message();
  }
  EXPECT_EQ(Second->BoundPort(), Port);
  TContainerClient Client(Port);
  EXPECT_EQ(Client.Call(u"FazerLogin", {"admin", "zul123"}), 9);
}

// A phone that loses its link mid-session: the connection ends in a reset, without the
// disconnect request, so the server closes the session but logs no disconnect line.
TEST_F(ServerContainerTest, AClientThatResetsItsConnectionHasItsSessionClosedWithoutADisconnectLine) {
  TDSSessionManager& Sessions = TDSSessionManager::Instance();
  const std::size_t SessionsBefore = Sessions.GetSessionCount();
  testing::TTestClient Phone;
  ASSERT_TRUE(Phone.Connect(FContainer.BoundPort()));
  Phone.Send(std::string(kLoginConnect) + kLoginPrepare + kLoginExecute);
  const std::string Replies = Phone.ReadUntil(kLoginExecuteReply);
  ASSERT_TRUE(Replies.ends_with(kLoginExecuteReply)) << Replies;
  EXPECT_EQ(Sessions.GetSessionCount(), SessionsBefore + 1);

  Phone.Reset();
  EXPECT_TRUE(Eventually([&] { return Sessions.GetSessionCount() == SessionsBefore; }));
  EXPECT_TRUE(Eventually([&] { return FContainer.DSTCPServerTransport1.Transport().ConnectionCount() == 0; }));
  EXPECT_EQ(FLog.Snapshot(), (Lines{std::string(C::kConnected) + "127.0.0.1", LoggingIn("admin"), M::kConnected,
                                   M::kLoginOk, M::kDisconnected}));
  TContainerClient Honest(FContainer.BoundPort());
  EXPECT_EQ(Honest.Call(u"FazerLogin", {"admin", "zul123"}), 9);
}

TEST_F(ServerContainerTest, VersionAndWebModuleAnswer) {
  TContainerClient Client(FContainer.BoundPort());
  EXPECT_EQ(Client.Call(u"VersaoServidor"), 2);
  EXPECT_EQ(Client.Call(u"ZULWEB"), 1);
}

TEST_F(ServerContainerTest, AClientOverIPv6IsLoggedWithItsIPv6Address) {
  if (!FContainer.DSTCPServerTransport1.Transport().ListensOnIPv6()) GTEST_SKIP() << "no IPv6 on this machine";
  TContainerClient Client(FContainer.BoundPort(), "::1");
  EXPECT_EQ(FLog.WaitFor(std::string(C::kConnected) + "::1").back(), std::string(C::kConnected) + "::1");
}

TEST_F(ServerContainerTest, ABusyPortFailsTheSecondContainerAndTheFirstKeepsServing) {
  const std::string Error =
      ErrorOf([&] { TServerContainer1 Second(FServices, {.Port = FContainer.BoundPort()}); }).Message();
  EXPECT_EQ(Error, "Could not bind socket. Address and port are already in use.");
  TContainerClient Client(FContainer.BoundPort());
  EXPECT_EQ(Client.Call(u"VersaoServidor"), 2);
}

}  // namespace
}  // namespace tavrin::testing
