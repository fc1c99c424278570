#include "server/methods/server_connection_handler.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/sessions/session_manager.h"
#include "server/sessions/tcp_session.h"
#include "server/methods/server_connection_fixture.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

TEST(ServerConnection, ConnectRepliesWithHandleZeroProductAndVersion) {
  TConnectionChain c;
  EXPECT_EQ(c.Serve(kConnect), kConnectReply);
  // Connecting again on the same connection is answered the same way.
  EXPECT_EQ(c.Serve(kConnect), kConnectReply);
  EXPECT_EQ(c.Server->GetProductName(), u"Corvane");
}

TEST(ServerConnection, ServerMethodCommandsRunWhateverWayTheyAreNamed) {
  struct TCase {
    const char* Type;
    const char* Text;
    const char* TextPrepared;
  };
  const TCase Cases[] = {
      {"Corvane.ServerMethod", "TTestMethods.Echo", "TTestMethods.Echo"},
      {"corvane.servermethod", "ttestmethods.echo", "ttestmethods.echo"},
      {"Dbx.SQL", "call TTestMethods.Echo", "TTestMethods.Echo"},
      {"Dbx.SQL", " \\r\\n\\tCALL\\tTTestMethods.Echo", "TTestMethods.Echo"},
      {"Corvane.ServerMethod", "call TTestMethods.Echo", "TTestMethods.Echo"},
      {"Dbx.StoredProcedure", "TTestMethods.Echo", "TTestMethods.Echo"},
      {"dbx.storedprocedure", "\\\"TTestMethods.Echo\\\"", "\"TTestMethods.Echo\""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Type) + " / " + Case.Text);
    TConnectionChain c;
    c.Serve(kConnect);
    EXPECT_EQ(c.Serve(Prepare(Case.Type, Case.Text)), PrepareReply(0));
    EXPECT_EQ(c.Serve(Execute(0, EchoRow("hi"))), EchoReply("hi"));
    ASSERT_EQ(c.Methods.Calls.PreparedTexts.size(), 1u);
    EXPECT_EQ(ToUtf8(c.Methods.Calls.PreparedTexts[0]), Case.TextPrepared);
  }
}

TEST(ServerConnection, ExecuteWithoutPrepareOpensTheCommandAndRunsIt) {
  TConnectionChain c;
  c.Serve(kConnect);
  EXPECT_EQ(c.Serve(ExecuteNew("Dbx.SQL", "call TTestMethods.Echo", EchoRow("abc"))), EchoReply("abc"));
  // The command stays open under handle 0 and runs again with the next values.
  EXPECT_EQ(c.Serve(Execute(0, EchoRow("xy"))), EchoReply("xy"));
  EXPECT_EQ(c.Methods.Calls.Prepares, 1);
  EXPECT_EQ(c.Methods.Calls.Invocations, 2);
  EXPECT_TRUE(c.Server->CommandTable().Get(0).HasExecuted());
}

TEST(ServerConnection, UnrecognizedCommandTypesAreRefusedWithTheTypeAsSent) {
  struct TCase {
    const char* Type;
    const char* Text;
  };
  const TCase Cases[] = {
      // Metadata requests are recognised only under the type written exactly.
      {"dbx.metadata", "GetDatabase"},
      {"Dbx.SQL", "select * from tabuser"},
      // Without the keyword a known alias does not make a plain SQL command a method.
      {"Dbx.SQL", "TTestMethods.Echo"},
      {"Dbx.StoredProcedure", "TTestMethods.Unknown"},
      {"Dbx.MetaData", "GetTables"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Type) + " / " + Case.Text);
    TConnectionChain c;
    c.Serve(kConnect);
    EXPECT_EQ(c.Serve(Prepare(Case.Type, Case.Text)),
              ErrorReply(30, std::string(Case.Type) + " is an unrecognized command type"));
    EXPECT_EQ(c.Methods.Calls.Prepares, 0);
    // No handle was used up.
    EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(0));
  }
}

TEST(ServerConnection, MetadataRequestsRunTheBuiltInMethods) {
  TConnectionChain c;
  c.Serve(kConnect);
  // The built-in methods are not registered with the test server, so the prepare
  // fails there, after the text was rewritten.
  c.Serve(Prepare("Dbx.MetaData", "GetDatabase"));
  c.Serve(Prepare("Dbx.MetaData", "GetProcedures"));
  c.Serve(Prepare("Dbx.MetaData", "getprocedureparameters a.b"));
  EXPECT_EQ(c.Methods.Calls.PreparedTexts,
            (std::vector<std::u16string>{u"DSMetadata.GetDatabase", uR"(DSMetadata.GetProcedures("", ""))",
                                         uR"(DSMetadata.GetProcedureParameters("a.b"))"}));
}

TEST(ServerConnection, AFailingMethodGetsAnErrorReplyAndTheConnectionGoesOn) {
  TConnectionChain c;
  c.Serve(kConnect);
  c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias));
  EXPECT_EQ(c.Serve(ExecuteNew("Corvane.ServerMethod", kFailAlias, "")),
            ErrorReply(5, kFailure, "std::runtime_error"));
  EXPECT_EQ(c.Serve(Execute(0, EchoRow("ok"))), EchoReply("ok"));

  // The failed new command was freed (the client never learned its handle), so 1 is
  // free again. A prepared command whose method raises stays open and runs again.
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kFailAlias)),
            R"({"result":[{"handle":[1]},{"fields":[0,false]}]})");
  EXPECT_EQ(c.Serve(R"({"method":"execute","params":[{"handle":[1]}]})"),
            ErrorReply(5, kFailure, "std::runtime_error"));
  EXPECT_EQ(c.Serve(R"({"method":"execute","params":[{"handle":[1]}]})"),
            ErrorReply(5, kFailure, "std::runtime_error"));
  EXPECT_EQ(c.Methods.Calls.Invocations, 4);
}

TEST(ServerConnection, AnUnknownMethodLeavesNoCommandOpen) {
  TConnectionChain c;
  c.Serve(kConnect);
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", "TTestMethods.Nope")),
            ErrorReply(105, "TTestMethods.Nope method not found in the server method list"));
  EXPECT_FALSE(c.Server->CommandTable().HasOpenCommands());
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(0));
}

TEST(ServerConnection, CommandCloseAndReaderRequestsNeedAnOpenCommand) {
  struct TCase {
    const char* Request;
    std::int32_t Code;
    const char* Message;
  };
  const TCase Cases[] = {
      {R"({"method":"command_close","params":[-1]})", 4, "Command closed or executed again"},
      {R"({"method":"next","params":[1,0,-1]})", 4, "Command closed or executed again"},
      {R"({"method":"execute","params":[{"handle":[5]}]})", 29, "Invalid command handle:  5"},
      {R"({"method":"prepare","params":[2,false,"Corvane.ServerMethod","TTestMethods.Echo"]})", 29,
       "Invalid command handle:  2"},
      {R"({"method":"command_close","params":[16]})", 29, "Invalid command handle:  16"},
      {R"({"method":"reader_close","params":[1,7]})", 29, "Invalid command handle:  7"},
      {R"({"method":"more_blob","params":[9,0,0,0]})", 29, "Invalid command handle:  9"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Request);
    TConnectionChain c;
    c.Serve(kConnect);
    c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias));
    c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias));
    EXPECT_EQ(c.Serve(Case.Request), ErrorReply(Case.Code, Case.Message));
    EXPECT_EQ(c.Serve(Execute(1, EchoRow("1"))), EchoReply("1"));
  }
}

TEST(ServerConnection, CommandCloseHasNoReplyAndFreesTheHandle) {
  TConnectionChain c;
  c.Serve(kConnect);
  c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias));
  EXPECT_EQ(c.Serve(CommandClose(0)), "");
  EXPECT_EQ(c.Serve(Execute(0, EchoRow("x"))), ErrorReply(29, "Invalid command handle:  0"));
}

// The server has no database connection of its own: the transaction and vendor requests
// get fixed answers, read whole so the next request is served.
TEST(ServerConnection, DatabaseRequestsGetTheDefaultAnswers) {
  struct TCase { const char* Request; const char* Reply; };
  const TCase Cases[] = {
      {R"({"method":"txbegin","params":[2]})", R"({"result":[0]})"},
      {R"({"method":"txend","params":[true,0]})", R"({"result":[]})"},
      {R"({"method":"txend","params":[false,7]})", R"({"result":[]})"},
      {R"({"method":"vendor_property","params":["x"]})", R"({"result":[""]})"},
      {R"({"method":"vendor_property","params":["DriverName"]})", R"({"result":[""]})"},
  };
  TConnectionChain c;
  c.Serve(kConnect);
  for (const TCase& Case : Cases) EXPECT_EQ(c.Serve(Case.Request), Case.Reply) << Case.Request;
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(0));
}

TEST(ServerConnection, ServerConnectionPropertyIsRefusedOnlyWhileCommandsAreOpen) {
  const std::string ConnectWithServerConnection =
      R"({"method":"connect","params":[{"ServerConnection":"TTestMethods.Db"}]})";
  TConnectionChain c;
  EXPECT_EQ(c.Serve(ConnectWithServerConnection), kConnectReply);
  c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias));
  EXPECT_EQ(c.Serve(ConnectWithServerConnection),
            ErrorReply(30, "All open command objects must be close before changing the server connection"));
  // An empty value is no request for another connection.
  EXPECT_EQ(c.Serve(R"({"method":"connect","params":[{"ServerConnection":""}]})"), kConnectReply);
}

TEST(ServerConnection, EventsFireForConnectErrorAndDisconnect) {
  TConnectionChain c;
  std::vector<std::string> Fired;
  c.Events.OnConnect = [&](const TDSConnectEventObject& Event) {
    Fired.push_back("connect " + ToUtf8(Event.ConnectProperties.at(u"a")));
    EXPECT_EQ(Event.ConnectionHandler, c.Server);
  };
  c.Events.OnDisconnect = [&](const TDSConnectEventObject& Event) {
    Fired.push_back("disconnect " + ToUtf8(Event.ConnectProperties.at(u"a")));
  };
  c.Events.OnError = [&](const TDSErrorEventObject& Event) {
    try {
      std::rethrow_exception(Event.Error);
    } catch (const std::exception& Error) {
      Fired.push_back(std::string("error ") + Error.what());
    }
    throw std::runtime_error("the hook itself fails");  // swallowed
  };
  c.Events.OnPrepare = [&](TDSPrepareEventObject& Event) { Fired.push_back("prepare " + Event.MethodAlias); };

  // A command before any connect is no client leaving: no disconnect event.
  c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias));
  EXPECT_EQ(c.Serve(R"({"method":"connect","params":[{"a":"1"}]})"), kConnectReply);
  EXPECT_EQ(c.Serve(Execute(7, "")), ErrorReply(29, "Invalid command handle:  7"));
  EXPECT_EQ(c.Removals, 0);
  EXPECT_EQ(c.Serve(kDisconnect), "");
  EXPECT_EQ(Fired, (std::vector<std::string>{"prepare TTestMethods.Echo", "connect 1",
                                             "error Invalid command handle:  7", "disconnect 1"}));
  EXPECT_EQ(c.Removals, 1);
}

TEST(ServerConnection, AFailingConnectHookGivesAnErrorReplyInsteadOfTheConnectReply) {
  TConnectionChain c;
  c.Events.OnConnect = [](const TDSConnectEventObject&) { throw TDBXError(7, "no entry"); };
  int Disconnects = 0;
  c.Events.OnDisconnect = [&](const TDSConnectEventObject&) { ++Disconnects; };
  EXPECT_EQ(c.Serve(kConnect), ErrorReply(7, "no entry"));
  // The input side announces a disconnect before the next command; nobody was connected.
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(0));
  EXPECT_EQ(Disconnects, 0);
}

// The thread's session for the length of a test.
class TThreadSession {
 public:
  explicit TThreadSession(TDSCustomAuthenticationManager* Manager)
      : FSession(std::make_shared<TDSTCPSession>(Manager)) {
    TDSSessionManager::SetAsThreadSession(FSession);
  }
  ~TThreadSession() { TDSSessionManager::ClearThreadSession(); }
  TDSSession& Session() { return *FSession; }

 private:
  std::shared_ptr<TDSTCPSession> FSession;
};

class TTestAuthentication : public TDSCustomAuthenticationManager {
 public:
  bool Authenticate(const std::string&, const TDSConnectProperties& Properties,
                    std::vector<std::string>& Roles) override {
    Roles = {"caixa"};
    return Properties.contains("Senha");
  }
  bool Authorize(const TDSAuthorizeRequest& Request) override {
    Requests.push_back(Request);
    return Request.MethodAlias != kFailAlias;
  }
  TDSRoleLists GetAuthRoles(const std::string&, const std::string&) override { return {{"caixa"}, {}}; }

  std::vector<TDSAuthorizeRequest> Requests;
};

TEST(ServerConnection, TheSessionTakesTheUserFromTheConnectProperties) {
  TThreadSession Session(nullptr);
  TConnectionChain c;
  EXPECT_EQ(c.Serve(R"({"method":"connect","params":[{"DSAuthenticationUser":"ana"}]})"), kConnectReply);
  EXPECT_EQ(Session.Session().UserName(), "ana");
}

TEST(ServerConnection, TheSessionsManagerDecidesWhoConnectsAndWhatRuns) {
  TTestAuthentication Manager;
  TThreadSession Session(&Manager);
  TConnectionChain c;
  EXPECT_EQ(c.Serve(R"({"method":"connect","params":[{"DSAuthenticationUser":"ana"}]})"),
            ErrorReply(0, "Authentication manager rejected user credentials. This may due to invalid "
                          "combination of DS user name and password"));
  EXPECT_EQ(c.Serve(R"({"method":"connect","params":[{"DSAuthenticationUser":"ana","Senha":"x"}]})"),
            kConnectReply);

  EXPECT_EQ(c.Serve(ExecuteNew("Corvane.ServerMethod", kEchoAlias, EchoRow("a"))), EchoReply("a"));
  EXPECT_EQ(c.Serve(ExecuteNew("Corvane.ServerMethod", kFailAlias, "")),
            ErrorReply(113, "ana is not authorized to perform the requested action."));
  EXPECT_EQ(c.Methods.Calls.Invocations, 1);
  ASSERT_EQ(Manager.Requests.size(), 2u);
  EXPECT_EQ(Manager.Requests[0].MethodAlias, kEchoAlias);
  EXPECT_EQ(Manager.Requests[0].UserName, "ana");
  EXPECT_EQ(Manager.Requests[0].UserRoles, std::vector<std::string>{"caixa"});
  EXPECT_EQ(Manager.Requests[0].MethodRoles.AuthorizedRoles, std::vector<std::string>{"caixa"});
}

TEST(ServerConnection, AnInvocationInstanceIsReleasedAfterEachCall) {
  TConnectionChain c;
  c.Methods.LifeCycle = TDSLifeCycles::kInvocation;
  c.Serve(kConnect);
  c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias));
  c.Serve(Execute(0, EchoRow("a")));
  EXPECT_TRUE(c.Server->CommandTable().Get(0).HasInvocationLifeCycle());
  c.Serve(ExecuteNew("Corvane.ServerMethod", kFailAlias, ""));
  EXPECT_EQ(c.Methods.Calls.Releases, 2);
}

// The signed piece count of a more-blob reply: negative on the last piece.
int PieceCount(const std::string& Reply) {
  const std::string Start = R"({"result":[{"data":[)";
  EXPECT_TRUE(Reply.starts_with(Start)) << Reply.substr(0, 60);
  return std::stoi(Reply.substr(Start.size(), 9));
}

TEST(ServerConnection, TablesOfACommandAreFetchedAndClosedThroughIt) {
  TConnectionChain c;
  c.Methods.LifeCycle = TDSLifeCycles::kInvocation;
  c.Serve(kConnect);
  c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias));
  const std::string Reply = c.Serve(ExecuteNew("Corvane.ServerMethod", kRowsAlias, ""));
  EXPECT_TRUE(Reply.starts_with(R"({"result":[{"table":)")) << Reply.substr(0, 60);
  // The instance stays while rows are still to be read.
  EXPECT_EQ(c.Methods.Calls.Releases, 0);
  const std::string Next = R"({"method":"next","params":[1,0,1]})";
  EXPECT_TRUE(c.Serve(Next).starts_with(R"({"data":[)"));
  EXPECT_EQ(c.Methods.Calls.Releases, 0);
  EXPECT_EQ(c.Serve(R"({"method":"reader_close","params":[1,1]})"), "");
  EXPECT_EQ(c.Methods.Calls.Releases, 1);
  EXPECT_EQ(c.Serve(Next), ErrorReply(29, "No open table for row handle 1"));
  // The other command has no tables of its own.
  EXPECT_EQ(c.Serve(R"({"method":"next","params":[1,0,0]})"), ErrorReply(29, "No open table for row handle 1"));
}

TEST(ServerConnection, ALongOutValueIsServedPieceByPiece) {
  TConnectionChain c;
  c.Serve(kConnect);
  const std::string Reply = c.Serve(ExecuteNew("Corvane.ServerMethod", kLongAlias, ""));
  EXPECT_TRUE(Reply.starts_with(R"({"result":[{"data":[)")) << Reply.substr(0, 60);
  const std::string MoreBlob = R"({"method":"more_blob","params":[0,1,0,0,true]})";
  int Pieces = 1;
  while (PieceCount(c.Serve(MoreBlob)) > 0 && Pieces < 10) ++Pieces;
  EXPECT_GE(Pieces, 2);
  EXPECT_LT(Pieces, 10);
  // Once fetched whole the value is gone.
  EXPECT_EQ(c.Serve(MoreBlob), ErrorReply(29, "No open table for row handle -1"));
}

// --- The command table, seen through the handles a connection hands out -----------------

TEST(CommandTable, HandlesAreTheLowestFreeIndex) {
  TConnectionChain c;
  c.Serve(kConnect);
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(0));
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(1));
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(2));
  c.Serve(CommandClose(1));
  c.Serve(CommandClose(0));
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(0));
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(1));
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(3));
  // Preparing an open command again keeps its handle.
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias, 2)), PrepareReply(2));
}

TEST(CommandTable, ManyOpenCommandsEachKeepTheirHandleAndFreedHandlesAreReused) {
  constexpr int kOpen = 100;  // well past the handles a fresh connection starts with
  TConnectionChain c;
  c.Serve(kConnect);
  for (int Handle = 0; Handle < kOpen; ++Handle) {
    ASSERT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(Handle));
  }
  // Every command still answers on its own handle.
  for (int Handle : {0, 15, 16, 17, 63, kOpen - 1}) {
    const std::string Text = "h" + std::to_string(Handle);
    EXPECT_EQ(c.Serve(Execute(Handle, EchoRow(Text))), EchoReply(Text)) << Handle;
  }
  c.Serve(CommandClose(70));
  c.Serve(CommandClose(5));
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(5));
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(70));
  EXPECT_EQ(c.Serve(Prepare("Corvane.ServerMethod", kEchoAlias)), PrepareReply(kOpen));
  EXPECT_EQ(c.Serve(Execute(70, EchoRow("again"))), EchoReply("again"));
}

}  // namespace
}  // namespace tavrin
