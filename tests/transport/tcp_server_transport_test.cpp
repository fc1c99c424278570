// The transport end to end over loopback, with the tests' own line protocol: settings,
// bindings, the connection registry, the thread pool and its bound, and Stop.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/error_of.h"
#include "transport/connection_registry.h"
#include "transport/line_protocol.h"
#include "transport/tcp_binding.h"
#include "transport/tcp_server_transport.h"
#include "transport/test_client.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

class TcpTransport : public ::testing::Test {
 protected:
  // "quit" ends a connection at once here; the grace period after a disconnect has a
  // test of its own (transport_abuse_test.cpp).
  TcpTransport() { Transport.SetDisconnectGrace(0); }

  void StartEphemeral() {
    Transport.SetPort(0);
    Transport.Start();
    ASSERT_NE(Transport.BoundPort(), 0);
  }

  std::unique_ptr<TTestClient> Connect() {
    auto Client = std::make_unique<TTestClient>();
    EXPECT_TRUE(Client->Connect(Transport.BoundPort()));
    return Client;
  }

  TLineStats Stats;
  TDSTCPServerTransport Transport{LineFactory(Stats)};
};

TEST_F(TcpTransport, SettingsHaveTheirDefaultsAndBufferSizeIsClamped) {
  EXPECT_EQ(Transport.Port(), 211);
  EXPECT_EQ(Transport.PoolSize(), 10);
  EXPECT_EQ(Transport.MaxThreads(), 0);
  EXPECT_EQ(Transport.BufferKBSize(), 32);
  EXPECT_EQ(Transport.KeepAliveEnablement(), TKeepAliveEnablement::kaDefault);
  EXPECT_EQ(Transport.KeepAliveTime(), 300000);
  EXPECT_EQ(Transport.KeepAliveInterval(), 100);
  EXPECT_EQ(Transport.IPImplementationID(), "");
  EXPECT_TRUE(Transport.Filters().empty());
  EXPECT_EQ(Transport.AuthenticationManager(), nullptr);
  EXPECT_FALSE(Transport.Active());

  const struct {
    std::int32_t Set;
    std::int32_t Kept;
  } Cases[] = {{-5, 1}, {0, 1}, {1, 1}, {64, 64}, {1000, 1000}, {1001, 1000}};
  for (const auto& Case : Cases) {
    Transport.SetBufferKBSize(Case.Set);
    EXPECT_EQ(Transport.BufferKBSize(), Case.Kept) << Case.Set;
  }
  EXPECT_EQ(ErrorOf([&] { Transport.SetPort(65536); }).Message(), "Port must lie within 0..65535");
  EXPECT_EQ(ErrorOf([&] { Transport.SetPort(-1); }).Message(), "Port must lie within 0..65535");
}

TEST_F(TcpTransport, ServesIPv4AndIPv6OnTheSamePort) {
  StartEphemeral();
  TTestClient V4;
  ASSERT_TRUE(V4.Connect(Transport.BoundPort()));
  EXPECT_EQ(V4.Ask("hello"), "hello");
  if (!Transport.ListensOnIPv6()) {
    GTEST_SKIP() << "no IPv6 on this system";
  }
  TTestClient V6;
  ASSERT_TRUE(V6.Connect(Transport.BoundPort(), true));
  EXPECT_EQ(V6.Ask("hello"), "hello");
}

TEST_F(TcpTransport, BusyPortIsRefusedWithTheFixedMessage) {
  StartEphemeral();
  TLineStats OtherStats;
  TDSTCPServerTransport Other(LineFactory(OtherStats));
  Other.SetPort(Transport.BoundPort());
  EXPECT_EQ(ErrorOf([&] { Other.Start(); }).Message(),
            "Could not bind socket. Address and port are already in use.");
  EXPECT_FALSE(Other.Active());
  EXPECT_EQ(Other.ThreadCount(), 0u);
  // The first transport goes on serving.
  EXPECT_EQ(Connect()->Ask("still here"), "still here");
}

TEST(TcpTransportBind, FailuresAreNamedByTheirCause) {
  const struct {
    std::error_code Error;
    std::string Message;
  } Cases[] = {
      {asio::error::address_in_use, "Could not bind socket. Address and port are already in use."},
      {asio::error::access_denied,
       "Could not bind socket. Permission to listen on this port was refused; ports below 1024 "
       "need administrator rights."},
      {std::make_error_code(std::errc::operation_not_permitted),
       "Could not bind socket. Permission to listen on this port was refused; ports below 1024 "
       "need administrator rights."},
      {asio::error::address_family_not_supported,
       "Could not bind socket: " + std::error_code(asio::error::address_family_not_supported).message()},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(BindFailureMessage(Case.Error), Case.Message) << Case.Error.message();
  }
}

TEST_F(TcpTransport, StartRefusesSettingsItCannotHonour) {
  Transport.SetPort(0);
  Transport.SetFilters({"ZLibCompression"});
  EXPECT_EQ(ErrorOf([&] { Transport.Start(); }).Message(),
            "Transport filters are not supported by this server");
  Transport.SetFilters({});
  Transport.SetIPImplementationID("Other");
  EXPECT_EQ(ErrorOf([&] { Transport.Start(); }).Message(), "Unknown socket implementation: Other");
  EXPECT_FALSE(Transport.Active());

  Transport.SetIPImplementationID("");
  Transport.Start();
  EXPECT_EQ(ErrorOf([&] { Transport.SetIPImplementationID("Other"); }).Message(),
            "IPImplementationID cannot be change while transport is active");
}

TEST_F(TcpTransport, RegistryHandlesStartAtOneAndReuseTheLowestFree) {
  StartEphemeral();
  std::vector<std::unique_ptr<TTestClient>> Clients;
  for (int i = 1; i <= 3; ++i) {
    Clients.push_back(Connect());
    EXPECT_EQ(Clients.back()->Ask("handle"), std::to_string(i));
  }
  Clients[1]->Close();
  ASSERT_TRUE(Eventually([&] { return Transport.ConnectionRegistry().Count() == 2; }));
  auto Fourth = Connect();
  EXPECT_EQ(Fourth->Ask("handle"), "2");
  auto Fifth = Connect();
  EXPECT_EQ(Fifth->Ask("handle"), "4");
}

TEST(TcpTransportRegistry, HandsOutLowestFreeHandlesAndNeverReleasesAnotherConnectionsSlot) {
  constexpr std::size_t kEntries = 100;  // well past the slots a fresh registry has
  TDSConnectionRegistry Registry;
  // Stand-ins for connections: the registry only compares and hands back the pointers.
  std::vector<char> Connections(kEntries + 2);
  const auto Entry = [&](std::size_t i) { return reinterpret_cast<TDSTCPConnection*>(&Connections[i]); };

  for (std::size_t i = 1; i <= kEntries; ++i) {
    ASSERT_EQ(Registry.Register(Entry(i)), static_cast<std::int32_t>(i));
  }
  for (std::size_t i = 1; i <= kEntries; ++i) ASSERT_EQ(Registry.Find(static_cast<std::int32_t>(i)), Entry(i));

  EXPECT_TRUE(Registry.Unregister(70, Entry(70)));
  EXPECT_TRUE(Registry.Unregister(3, Entry(3)));
  EXPECT_FALSE(Registry.Unregister(3, Entry(3)));  // repeated
  EXPECT_EQ(Registry.Find(3), nullptr);
  EXPECT_EQ(Registry.Register(Entry(kEntries + 1)), 3);
  EXPECT_EQ(Registry.Register(Entry(0)), 70);
  // A late unregister by the slot's previous owner leaves the new owner in place.
  EXPECT_FALSE(Registry.Unregister(3, Entry(3)));
  EXPECT_EQ(Registry.Find(3), Entry(kEntries + 1));
  EXPECT_FALSE(Registry.Unregister(0, nullptr));
  EXPECT_FALSE(Registry.Unregister(static_cast<std::int32_t>(kEntries) + 50, Entry(1)));
  EXPECT_EQ(Registry.Count(), kEntries);
}

TEST_F(TcpTransport, StopWithClientsConnectedClosesThemAndJoinsEveryThread) {
  StartEphemeral();
  std::vector<std::unique_ptr<TTestClient>> Clients;
  for (int i = 0; i < 4; ++i) {
    Clients.push_back(Connect());
    EXPECT_EQ(Clients.back()->Ask("ready"), "ready");
  }
  Clients[0]->Send("half a requ");  // its thread waits inside the handler for the rest
  Clients.push_back(Connect());     // never sends anything
  Clients[1]->Send("flood 50000000\n");  // its thread waits for room to send; never read
  ASSERT_TRUE(Eventually([&] { return Stats.Created.load() == 5; }));

  auto Stopping = std::async(std::launch::async, [&] { Transport.Stop(); });
  ASSERT_EQ(Stopping.wait_for(kPatience), std::future_status::ready) << "Stop hangs";
  Stopping.get();

  for (auto& Client : Clients) {
    EXPECT_TRUE(Client->ClosedByServer());
  }
  EXPECT_EQ(Stats.Live(), 0);
  EXPECT_EQ(Transport.ConnectionCount(), 0u);
  EXPECT_EQ(Transport.ThreadCount(), 0u);
  EXPECT_EQ(Transport.ConnectionRegistry().Count(), 0u);
  EXPECT_FALSE(Transport.Active());

  // A stopped transport starts again.
  Transport.Start();
  EXPECT_EQ(Connect()->Ask("again"), "again");
}

TEST_F(TcpTransport, ThreadBoundMakesClientsWaitAndReportsTheFixedMessage) {
  std::mutex Lock;
  std::vector<std::string> Reports;
  Transport.SetOnListenerError([&](const std::string& Message) {
    std::lock_guard Guard(Lock);
    Reports.push_back(Message);
  });
  Transport.SetMaxThreads(1);
  Transport.SetPoolSize(1);
  StartEphemeral();

  auto First = Connect();
  EXPECT_EQ(First->Ask("first"), "first");
  auto Second = Connect();
  Second->Send("second\n");
  EXPECT_TRUE(Second->Quiet()) << "served beyond the thread bound";
  // The accepting thread reports the refusal in its own time.
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard Guard(Lock);
    return !Reports.empty();
  }));
  {
    std::lock_guard Guard(Lock);
    EXPECT_EQ(Reports.front(), "The maximum number of threads for this scheduler is exceeded.");
  }
  EXPECT_EQ(First->Ask("still served"), "still served");

  First->Send("quit\n");
  EXPECT_EQ(Second->ReadLine(), "second");
  EXPECT_LE(Transport.ThreadCount(), 1u);
}

TEST_F(TcpTransport, ThreadsBeyondThePoolEndWhenTheirClientsLeave) {
  Transport.SetPoolSize(2);
  StartEphemeral();
  EXPECT_EQ(Transport.ParkedThreadCount(), 2u);  // started parked
  std::vector<std::unique_ptr<TTestClient>> Clients;
  for (int i = 0; i < 6; ++i) {
    Clients.push_back(Connect());
    EXPECT_EQ(Clients.back()->Ask("hello"), "hello");
  }
  EXPECT_EQ(Transport.ThreadCount(), 6u);
  Clients.clear();
  EXPECT_TRUE(Eventually([&] {
    return Transport.ThreadCount() == 2 && Transport.ParkedThreadCount() == 2;
  }));
  EXPECT_TRUE(Eventually([&] { return Stats.Live() == 0; }));
}

// Voluntary context switches of every thread of this process: each wake-up of a
// sleeping thread adds one. Empty where the system does not tell.
std::optional<long> WakeUps() {
  long Total = 0;
  std::error_code Error;
  for (const auto& Task : std::filesystem::directory_iterator("/proc/self/task", Error)) {
    std::ifstream Status(Task.path() / "status");
    for (std::string Line; std::getline(Status, Line);) {
      if (Line.rfind("voluntary_ctxt_switches:", 0) == 0) {
        Total += std::stol(Line.substr(Line.find(':') + 1));
      }
    }
  }
  if (Error) {
    return std::nullopt;
  }
  return Total;
}

TEST_F(TcpTransport, IdleConnectionsDoNotWakeUp) {
  if (!WakeUps()) {
    GTEST_SKIP() << "no per-thread counters on this system";
  }
  StartEphemeral();
  std::vector<std::unique_ptr<TTestClient>> Clients;
  for (int i = 0; i < 20; ++i) {
    Clients.push_back(Connect());
    EXPECT_EQ(Clients.back()->Ask("hello"), "hello");
  }
  const long Before = *WakeUps();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // Waiting in 10 ms steps would wake 20 threads about 1000 times here.
  EXPECT_LT(*WakeUps() - Before, 50);
}

TEST_F(TcpTransport, ConnectionEndsWhenTheHandlerStopsOrRaises) {
  StartEphemeral();
  for (const char* Ending : {"quit", "boom"}) {
    auto Client = Connect();
    auto Bystander = Connect();
    EXPECT_EQ(Client->Ask("before"), "before");
    Client->Send(std::string(Ending) + "\n");
    EXPECT_TRUE(Client->ClosedByServer()) << Ending;
    EXPECT_EQ(Bystander->Ask("unaffected"), "unaffected") << Ending;
  }
  EXPECT_TRUE(Eventually([&] { return Stats.Live() == 0 && Transport.ConnectionCount() == 0; }));
}

TEST_F(TcpTransport, BatchHooksAndConnectionEventsRunOnEveryPath) {
  std::atomic<int> Connects{0};
  std::atomic<int> Disconnects{0};
  Transport.SetOnConnect([&](const TDSTCPConnectEventArgs& Args) {
    EXPECT_GE(Args.ConnectionHandle, 1);
    ++Connects;
    throw std::runtime_error("ignored");  // an event's error never ends the connection
  });
  Transport.SetOnDisconnect([&](const TDSTCPConnectEventArgs&) {
    ++Disconnects;
    throw std::runtime_error("ignored");
  });
  StartEphemeral();
  auto Client = Connect();
  EXPECT_EQ(Client->Ask("first"), "first");
  EXPECT_EQ(Client->Ask("second"), "second");
  Client->Send("boom\n");
  EXPECT_TRUE(Client->ClosedByServer());
  EXPECT_TRUE(Eventually([&] { return Disconnects.load() == 1; }));
  EXPECT_EQ(Connects.load(), 1);
  // AfterBatch ran after each batch, the failed one included.
  EXPECT_EQ(Stats.AfterBatches.load(), Stats.Batches.load());
  EXPECT_EQ(Stats.Batches.load(), 3);
}

TEST_F(TcpTransport, FactoryFailureClosesOnlyThatConnection) {
  std::atomic<int> Calls{0};
  TDSTCPServerTransport Picky([&](const TDSTCPConnectionInfo& Info) {
    if (++Calls == 1) {
      throw std::runtime_error("no chain for you");
    }
    return LineFactory(Stats)(Info);
  });
  Picky.SetPort(0);
  Picky.Start();
  TTestClient Refused;
  ASSERT_TRUE(Refused.Connect(Picky.BoundPort()));
  EXPECT_TRUE(Refused.ClosedByServer());
  TTestClient Served;
  ASSERT_TRUE(Served.Connect(Picky.BoundPort()));
  EXPECT_EQ(Served.Ask("fine"), "fine");
  EXPECT_EQ(Served.Ask("handle"), "1");  // the refused connection's slot was released
}

}  // namespace
}  // namespace tavrin
