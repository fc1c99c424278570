// Clients that misbehave: vanishing mid-request, resetting while the server writes,
// connecting and leaving at once, and many at the same time. Each case checks that the
// connection's chain was freed and that the server still serves the next client.

#include <gtest/gtest.h>

#include <atomic>
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
    Transport.Start();
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

  TLineStats Stats;
  TDSTCPServerTransport Transport{LineFactory(Stats)};
};

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

}  // namespace
}  // namespace tavrin
