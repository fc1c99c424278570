// The server end to end through real loopback sockets: the transport, the request loop,
// the server connection with the test methods, and sessions, driven by the client
// connection over the client TCP channel, or by raw bytes where the exact wire matters.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/connection.h"
#include "dbxstream/command_types.h"
#include "dbx_test_server.h"
#include "server/sessions/session_manager.h"
#include "support/error_of.h"
#include "transport/tcp_client_channel.h"
#include "transport/test_client.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;


// A client connection over its own TCP channel.
struct TRawClient {
  TRawClient(std::uint16_t Port, bool Probe = true) : Channel("127.0.0.1", Port, Probe), Connection(Channel) {}
  TDBXTcpClientChannel Channel;
  TDBXClientConnection Connection;
};

// Runs Echo with Text on an open command; returns the result. With
// HoldRest, the rest of a text too long for the parameter row is held for the server's
// more-blob requests; without, such a text makes Execute raise.
std::u16string Echo(TDBXClientConnection& Connection, std::int32_t Handle, const std::u16string& Text,
                    bool HoldRest = false) {
  TDBXRowBuffer& Row = Connection.BeginParameters();
  if (!Row.WriteString(Text) && HoldRest) Connection.HoldLongParameter(0);
  Row.WriteNull();
  const TDBXExecuteReply Reply = Connection.Execute(Handle);
  if (!Reply.HasParameterRow) return u"<no row>";
  Connection.ParameterRow().GoToField(1);
  return Connection.ParameterRow().ReadString();
}

TEST(DbxServerConnect, ClientsWithAndWithoutTheProbeAreServed) {
  TDbxTestServer Server;
  for (const bool Probe : {true, false}) {
    SCOPED_TRACE(Probe ? "probe" : "no probe");
    TRawClient c(Server.Port(), Probe);
    const TDBXConnectReply Reply = c.Connection.Connect({{u"user", u"ana"}});
    EXPECT_EQ(Reply.ConnectionHandle, 0);
    EXPECT_EQ(Reply.ProductName, u"Corvane");
    EXPECT_EQ(Reply.ProtocolVersion, 2);
  }
}

TEST(DbxServerCommands, PrepareAndExecuteEchoRoundTrip) {
  TDbxTestServer Server;
  TRawClient c(Server.Port());
  c.Connection.Connect({});
  const TDBXPrepareReply Prepared = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo");
  EXPECT_EQ(Prepared.CommandHandle, 0);
  ASSERT_EQ(Prepared.Parameters.size(), 2u);
  EXPECT_EQ(Prepared.Parameters[0].Name(), "Value");
  EXPECT_EQ(Prepared.Parameters[1].Name(), "ReturnParameter");
  // Latin-1 and beyond: both text forms of the row buffer cross the wire. The long one
  // comes after earlier replies were read into the client's parameter row, which once
  // shrank the row's fill limit and sent the argument by more-blob, which this Echo
  // does not serve.
  for (const std::u16string& Text : {std::u16string(u"ol\u00e9"), std::u16string(u"\u0100 and more"),
                                     std::u16string(2000, u'z')}) {
    EXPECT_EQ(Echo(c.Connection, 0, Text), Text);
  }
}

TEST(DbxServerCommands, ALongArgumentArrivesWholeAndComesBackWhole) {
  TDbxTestServer Server;
  TRawClient c(Server.Port());
  c.Connection.Connect({});
  const std::int32_t Handle = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo").CommandHandle;
  // More than a row buffer both ways, so the server fetches the argument's rest and the
  // client the result's; the last character switches the text to two bytes per unit.
  std::u16string Text(kLongLength, u' ');
  for (std::size_t i = 0; i < Text.size(); ++i) Text[i] = static_cast<char16_t>(u'a' + i % 26);
  Text.back() = u'\u0100';
  EXPECT_EQ(Echo(c.Connection, Handle, Text, true), Text);
  EXPECT_EQ(Echo(c.Connection, Handle, u"short after"), u"short after");
}

TEST(DbxServerCommands, HandlesAreReusedAfterCloseAndUnknownOnesRefused) {
  TDbxTestServer Server;
  TRawClient c(Server.Port());
  c.Connection.Connect({});
  EXPECT_EQ(c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo").CommandHandle, 0);
  EXPECT_EQ(c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo").CommandHandle, 1);
  c.Connection.CommandClose(0);
  EXPECT_EQ(c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo").CommandHandle, 0);

  const TDBXError Error = ErrorOf([&] { c.Connection.Execute(5); });
  EXPECT_EQ(Error.ErrorCode(), 29);
  EXPECT_EQ(Error.Message(), "Remote error: Invalid command handle:  5");
  EXPECT_EQ(Echo(c.Connection, 1, u"still"), u"still");
}

TEST(DbxServerCommands, AFailingMethodIsRaisedAndTheConnectionGoesOn) {
  TDbxTestServer Server;
  TRawClient c(Server.Port());
  c.Connection.Connect({});
  c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo");
  const std::int32_t Fail = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Fail").CommandHandle;
  const TDBXError Error = ErrorOf([&] { c.Connection.Execute(Fail); });
  EXPECT_EQ(Error.ErrorCode(), 5);
  EXPECT_EQ(Error.Message(), std::string("Remote error: ") + kFailure);
  EXPECT_EQ(Echo(c.Connection, 0, u"after"), u"after");
}

TEST(DbxServerResults, ATableOfSeveralBlocksIsReadWithNext) {
  TDbxTestServer Server;
  TRawClient c(Server.Port());
  c.Connection.Connect({});
  const std::int32_t Handle = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Rows").CommandHandle;
  TDBXExecuteReply Reply = c.Connection.Execute(Handle);
  ASSERT_EQ(Reply.Tables.size(), 1u);
  TDBXClientTable& Table = *Reply.Tables[0];
  int Rows = 0;
  while (Table.Next()) {
    ++Rows;
    Table.Row().GoToField(1);
    ASSERT_EQ(Table.Row().ReadString(), TFakeReader::NameOf(Rows, kTableNameLength)) << Rows;
  }
  EXPECT_EQ(Rows, kTableRows);
  EXPECT_GE(Table.BlocksRead(), 3);
  EXPECT_EQ(Echo(c.Connection, c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo").CommandHandle, u"x"),
            u"x");
}

TEST(DbxServerResults, ALongValueArrivesWholeThroughMoreBlob) {
  TDbxTestServer Server;
  TRawClient c(Server.Port());
  c.Connection.Connect({});
  const std::int32_t Handle = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Long").CommandHandle;
  ASSERT_TRUE(c.Connection.Execute(Handle).HasParameterRow);
  c.Connection.ParameterRow().GoToField(0);
  EXPECT_EQ(c.Connection.ParameterRow().ReadString(), std::u16string(kLongLength, u'x'));
}

TEST(DbxServerResults, NextResultAnswersNoMoreResultsAndRefusesAnUnknownCommand) {
  TDbxTestServer Server;
  TRawClient c(Server.Port());
  c.Connection.Connect({});
  const std::int32_t Handle = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo").CommandHandle;
  ASSERT_EQ(Echo(c.Connection, Handle, u"x"), u"x");
  const TDBXNextResultReply Next = c.Connection.NextResult(Handle);
  EXPECT_FALSE(Next.Updateable);
  EXPECT_EQ(Next.RowsAffected, 0);
  EXPECT_FALSE(Next.HasNextResult);
  EXPECT_EQ(Next.CommandHandle, -1);

  const TDBXError Error = ErrorOf([&] { c.Connection.NextResult(99); });
  EXPECT_EQ(Error.ErrorCode(), 29);
  EXPECT_EQ(Error.Message(), "Remote error: Invalid command handle:  99");
  EXPECT_EQ(Echo(c.Connection, Handle, u"on"), u"on");
}

// --- Exact bytes from a plain socket ------------------------------------------------------

const std::string kUnknownMethod = R"({"method":"frobnicate","params":[1,{"x":["]}",2]}]})";

TEST(DbxServerWire, RequestsArrivingTogetherAreAnsweredInOrder) {
  struct TCase {
    const char* Name;
    std::string Sent;  // one write: one TCP segment on loopback
    std::string Expected;
  };
  const std::string Connected(kConnectReply);
  const std::string PrepareEcho = Prepare("Corvane.ServerMethod", kEchoAlias);
  const TCase Cases[] = {
      {"two requests", kConnect + PrepareEcho, Connected + PrepareReply(0)},
      {"unknown method skipped", kConnect + kUnknownMethod + PrepareEcho, Connected + PrepareReply(0)},
      {"next result", kConnect + PrepareEcho + kNextResult, Connected + PrepareReply(0) + kNextResultReply},
      {"error reply then the next",
       kConnect + ExecuteNew("Corvane.ServerMethod", kFailAlias, "") + PrepareEcho,
       Connected + ErrorReply(5, kFailure, "std::runtime_error") + PrepareReply(0)},
      {"probe first", "\x05\x05\x05\x05\x05" + std::string(kConnect),
       std::string("\x06\x00\x00\x00\x00", 5) + Connected},
  };
  TDbxTestServer Server;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TTestClient Client;
    ASSERT_TRUE(Client.Connect(Server.Port()));
    Client.Send(Case.Sent);
    EXPECT_EQ(Client.Read(Case.Expected.size()), Case.Expected);
    EXPECT_TRUE(Client.Quiet(50ms));
  }
}

TEST(DbxServerWire, DisconnectGetsNoReplyAndTheServerCloses) {
  TDbxTestServer Server;
  TTestClient Client;
  ASSERT_TRUE(Client.Connect(Server.Port()));
  Client.Send(std::string(kConnect) + R"({"method":"disconnect","params":[0]})" + kNextResult);
  // Asking for more than the connect reply: the server's close ends the read, and nothing
  // may follow the reply.
  EXPECT_EQ(Client.Read(sizeof kConnectReply + 64), kConnectReply);
  EXPECT_TRUE(Eventually([&] { return Server.Transport().ConnectionCount() == 0; }));
}

// --- Life of connections and sessions -------------------------------------------------------

TEST(DbxServerSessions, ADroppedClientsSessionIsClosed) {
  TDbxTestServer Server;
  auto& Sessions = TDSSessionManager::Instance();
  const std::size_t Before = Sessions.GetSessionCount();
  for (const bool Reset : {false, true}) {
    SCOPED_TRACE(Reset ? "reset" : "orderly close");
    TTestClient Client;
    ASSERT_TRUE(Client.Connect(Server.Port()));
    Client.Send(kConnect);
    ASSERT_EQ(Client.Read(sizeof kConnectReply - 1), kConnectReply);
    EXPECT_EQ(Sessions.GetSessionCount(), Before + 1);
    if (Reset) {
      Client.Reset();
    } else {
      Client.Close();
    }
    EXPECT_TRUE(Eventually([&] { return Sessions.GetSessionCount() == Before; }));
    EXPECT_TRUE(Eventually([&] { return Server.Transport().ConnectionCount() == 0; }));
  }
}

TEST(DbxServerLife, StopWithClientsConnectedReturnsAndClosesThem) {
  TDbxTestServer Server;
  std::vector<std::unique_ptr<TRawClient>> Clients;
  for (int i = 0; i < 3; ++i) {
    Clients.push_back(std::make_unique<TRawClient>(Server.Port()));
    Clients.back()->Connection.Connect({});
  }
  auto Stopped = std::async(std::launch::async, [&] { Server.Transport().Stop(); });
  if (Stopped.wait_for(kPatience) != std::future_status::ready) {
    ADD_FAILURE() << "Stop did not return";
    std::abort();  // the stuck thread would hang the run otherwise
  }
  Stopped.get();
  for (auto& c : Clients) {
    const TDBXError Error = ErrorOf([&] { c->Connection.NextResult(0); });
    EXPECT_EQ(Error.Message(), "Connection lost");
  }
  EXPECT_EQ(Server.Transport().ConnectionCount(), 0u);
}

TEST(DbxServerLoad, FiftyClientsAtOnceAreEachServedInFull) {
  constexpr int kClients = 50;
  TDbxTestServer Server;
  const std::size_t SessionsBefore = TDSSessionManager::Instance().GetSessionCount();
  std::atomic<int> Served{0};
  std::vector<std::string> Failures(kClients);
  std::vector<std::thread> Threads;
  for (int i = 0; i < kClients; ++i) {
    Threads.emplace_back([&, i] {
      try {
        TRawClient c(Server.Port(), i % 2 == 0);
        c.Connection.Connect({});
        const std::int32_t Handle = c.Connection.Prepare(TDSCommandTypes::kServerMethod, u"TTestMethods.Echo").CommandHandle;
        const std::u16string Text = u"client " + std::u16string(static_cast<std::size_t>(i), u'#');
        if (Echo(c.Connection, Handle, Text) != Text) {
          Failures[static_cast<std::size_t>(i)] = "wrong echo";
          return;
        }
        c.Connection.CommandClose(Handle);
        c.Connection.Disconnect();
        ++Served;
      } catch (const std::exception& Error) {
        Failures[static_cast<std::size_t>(i)] = Error.what();
      }
    });
  }
  for (auto& Thread : Threads) Thread.join();
  for (int i = 0; i < kClients; ++i) {
    EXPECT_EQ(Failures[static_cast<std::size_t>(i)], "") << "client " << i;
  }
  EXPECT_EQ(Served.load(), kClients);
  EXPECT_TRUE(Eventually([&] { return Server.Transport().ConnectionCount() == 0; }));
  EXPECT_TRUE(Eventually([&] { return TDSSessionManager::Instance().GetSessionCount() == SessionsBefore; }));
}

}  // namespace
}  // namespace tavrin
