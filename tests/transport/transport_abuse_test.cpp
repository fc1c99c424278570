// Clients that misbehave: vanishing mid-request, resetting while the server writes,
// connecting and leaving at once, and many at the same time. Each case checks that the
// connection's chain was freed and that the server still serves the next client.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <utility>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "transport/line_protocol.h"
#include "transport/tcp_server_transport.h"
#include "transport/test_client.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

class TcpTransportAbuse : public ::testing::Test {
 protected:
  void SetUp() override {
    Transport.SetPort(0);
    // "quit" ends a connection at once here; the grace period has a test of its own.
    Transport.SetDisconnectGrace(0);
    Transport.SetOnInactivityClose([this](const std::string& Address) { Note("idle " + Address); });
    Transport.SetOnConnectionRefused([this](const std::string& Address) { Note("refused " + Address); });
    Transport.Start();
  }

  // Starts again with settings changed by Change.
  void Restart(const std::function<void(TDSTCPServerTransport&)>& Change) {
    Transport.Stop();
    Change(Transport);
    Transport.Start();
  }

  void Note(const std::string& Notice) {
    std::lock_guard Guard(NoticesLock);
    Notices.push_back(Notice);
  }
  std::vector<std::string> TakeNotices() {
    std::lock_guard Guard(NoticesLock);
    return std::exchange(Notices, {});
  }

  // Nothing of a gone client is left, and a new client is served.
  void ExpectCleanAndServing() {
    EXPECT_TRUE(Eventually([&] {
      return Stats.Live() == 0 && Transport.ConnectionCount() == 0 &&
             Transport.ConnectionRegistry().Count() == 0;
    }));
    TTestClient Next;
    ASSERT_TRUE(Next.Connect(Transport.BoundPort()));
    EXPECT_EQ(Next.Ask("next"), "next");
  }

  std::mutex NoticesLock;
  std::vector<std::string> Notices;  // what the transport told, in order
  TLineStats Stats;
  TDSTCPServerTransport Transport{LineFactory(Stats)};
};

using Clock = std::chrono::steady_clock;

TEST_F(TcpTransportAbuse, PeerDroppingMidRequestEndsWithConnectionLost) {
  for (const bool Reset : {false, true}) {
    {
      TTestClient Client;
      ASSERT_TRUE(Client.Connect(Transport.BoundPort()));
      EXPECT_EQ(Client.Ask("hello"), "hello");
      Client.Send("half a requ");
      ASSERT_TRUE(Eventually([&] { return Stats.Batches.load() >= 2; }));
      Reset ? Client.Reset() : Client.Close();
      EXPECT_TRUE(Eventually([&] { return Stats.Live() == 0; })) << Reset;
    }
    EXPECT_EQ(Stats.ReadError(), "Connection lost (lost)") << Reset;
    ExpectCleanAndServing();
    Stats.Batches = 0;
  }
}

TEST_F(TcpTransportAbuse, PeerResettingWhileTheServerWritesEndsOnlyThatConnection) {
  TTestClient Bystander;
  ASSERT_TRUE(Bystander.Connect(Transport.BoundPort()));
  {
    TTestClient Client;
    ASSERT_TRUE(Client.Connect(Transport.BoundPort()));
    Client.Send("flood 30000000\n");
    EXPECT_EQ(Client.Read(1000).size(), 1000u);
    Client.Reset();
  }
  EXPECT_EQ(Bystander.Ask("fine"), "fine");
  Bystander.Close();
  ExpectCleanAndServing();
}

TEST_F(TcpTransportAbuse, ClientsLeavingAtOnceLeaveNothingBehind) {
  for (int i = 0; i < 20; ++i) {
    TTestClient Client;
    ASSERT_TRUE(Client.Connect(Transport.BoundPort()));
    if (i % 2 == 0) {
      Client.Reset();
    } else {
      Client.Send("\x05\x05");  // a probe cut short
      Client.Close();
    }
  }
  ExpectCleanAndServing();
}

TEST_F(TcpTransportAbuse, FiftyConcurrentClientsAreEachServedInOrder) {
  constexpr int kClients = 50;
  constexpr int kRounds = 20;
  std::atomic<int> Served{0};
  std::vector<std::thread> Threads;
  for (int c = 0; c < kClients; ++c) {
    Threads.emplace_back([&, c] {
      TTestClient Client;
      if (!Client.Connect(Transport.BoundPort())) {
        return;
      }
      const auto Handle = Client.Ask("handle");
      if (!Handle || std::stoi(*Handle) < 1 || std::stoi(*Handle) > kClients) {
        return;
      }
      for (int r = 0; r < kRounds; ++r) {
        const std::string Text = "client " + std::to_string(c) + " round " + std::to_string(r);
        if (Client.Ask(Text) != Text) {
          return;
        }
      }
      Client.Send("quit\n");
      if (Client.ClosedByServer()) {
        ++Served;
      }
    });
  }
  for (auto& Thread : Threads) {
    Thread.join();
  }
  EXPECT_EQ(Served.load(), kClients);
  EXPECT_EQ(Stats.Created.load(), kClients);
  EXPECT_TRUE(Eventually([&] {
    return Transport.ThreadCount() <= 10 && Transport.ParkedThreadCount() == Transport.ThreadCount();
  }));
  ExpectCleanAndServing();
}

TEST_F(TcpTransportAbuse, AConnectionWithoutAWholeFirstRequestIsClosedAtItsDeadline) {
  Restart([](auto& t) { t.SetConnectTimeout(300); });
  TTestClient Silent, ProbeOnly, Trickle, Prompt;
  const auto Started = Clock::now();
  for (auto* Client : {&Silent, &ProbeOnly, &Trickle, &Prompt}) ASSERT_TRUE(Client->Connect(Transport.BoundPort()));
  ProbeOnly.Send("\x05\x05\x05\x05\x05");  // the probe is answered but is no request
  EXPECT_EQ(ProbeOnly.Read(5), std::string("\x06\x00\x00\x00\x00", 5));
  Trickle.Send("half a li");                 // a request that never ends
  EXPECT_EQ(Prompt.Ask("in time"), "in time");
  for (auto* Client : {&Silent, &ProbeOnly, &Trickle}) EXPECT_TRUE(Client->ClosedByServer());
  EXPECT_GE(Clock::now() - Started, 250ms);
  // A client whose first request came in time is not bound by it any more.
  EXPECT_TRUE(Prompt.Quiet(400ms));
  EXPECT_EQ(Prompt.Ask("still here"), "still here");
  Prompt.Close();
  EXPECT_EQ(TakeNotices(), std::vector<std::string>(3, "idle 127.0.0.1"));
  ExpectCleanAndServing();
}

TEST_F(TcpTransportAbuse, TheIdleTimeoutClosesAConnectionThatFellSilent) {
  Restart([](auto& t) { t.SetIdleTimeout(300); });
  TTestClient Client;
  ASSERT_TRUE(Client.Connect(Transport.BoundPort()));
  for (int i = 0; i < 3; ++i) {
    std::this_thread::sleep_for(150ms);  // pauses shorter than the timeout are fine
    EXPECT_EQ(Client.Ask("ping"), "ping");
  }
  const auto Silent = Clock::now();
  EXPECT_TRUE(Client.ClosedByServer());
  EXPECT_GE(Clock::now() - Silent, 250ms);
  EXPECT_EQ(TakeNotices(), std::vector<std::string>{"idle 127.0.0.1"});
  ExpectCleanAndServing();
}

TEST_F(TcpTransportAbuse, ClientsPastTheMaximumAreClosedAtOnceAndReportedOncePerSecond) {
  Restart([](auto& t) { t.SetMaxConnections(3); });
  std::vector<std::unique_ptr<TTestClient>> Admitted;
  for (int i = 0; i < 3; ++i) {
    Admitted.push_back(std::make_unique<TTestClient>());
    ASSERT_TRUE(Admitted.back()->Connect(Transport.BoundPort()));
    EXPECT_EQ(Admitted.back()->Ask("admitted"), "admitted");
  }
  for (int i = 0; i < 5; ++i) {
    TTestClient Refused;
    ASSERT_TRUE(Refused.Connect(Transport.BoundPort()));
    const auto Started = Clock::now();
    EXPECT_TRUE(Refused.ClosedByServer()) << i;
    EXPECT_LT(Clock::now() - Started, 1s) << i;  // never left hanging
  }
  EXPECT_EQ(TakeNotices(), std::vector<std::string>{"refused 127.0.0.1"});
  for (auto& Client : Admitted) EXPECT_EQ(Client->Ask("still"), "still");
  Admitted.clear();
  ExpectCleanAndServing();
}

TEST_F(TcpTransportAbuse, AfterTheLastRequestTheSocketIsLeftToTheClientForTheGracePeriod) {
  Restart([](auto& t) { t.SetDisconnectGrace(400); });
  TTestClient Lingering;
  ASSERT_TRUE(Lingering.Connect(Transport.BoundPort()));
  const auto Started = Clock::now();
  Lingering.Send("quit\nafter quit\n");     // nothing after the last request is served
  EXPECT_TRUE(Lingering.Quiet(200ms));
  EXPECT_TRUE(Lingering.ClosedByServer());
  EXPECT_GE(Clock::now() - Started, 350ms);
  EXPECT_EQ(Stats.Live(), 0);                  // the chain went at once, only the socket waited
  const int Made = Stats.Created.load();
  TTestClient Closing;
  ASSERT_TRUE(Closing.Connect(Transport.BoundPort()));
  Closing.Send("quit\n");
  ASSERT_TRUE(Eventually([&] { return Stats.Created.load() == Made + 1 && Stats.Live() == 0; }));
  EXPECT_EQ(Transport.ConnectionCount(), 1u);
  Closing.Close();                             // the client closes: the server follows at once
  EXPECT_TRUE(Eventually([&] { return Transport.ConnectionCount() == 0; }, 200ms));
  EXPECT_TRUE(TakeNotices().empty());
  ExpectCleanAndServing();
}

}  // namespace
}  // namespace tavrin
