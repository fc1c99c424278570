// The request loop of a connection: reading every request, the replies, the error path
// and the end of request handling, through a memory channel and a fake server link.

#include "server/requests/json_server_protocol_handler.h"

#include <gtest/gtest.h>

#include <string>

#include "dbxstream/row_hex_bytes.h"
#include "server/requests/server_chain_fixture.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

using testing::Hex;
using testing::kConnect;
using testing::kExecuteHandle0;
using testing::kNextResult;
using testing::kNextResultReply;
using testing::TExecuteMode;
using testing::TServerChain;

std::string Bytes(const std::vector<std::uint8_t>& Raw) { return {Raw.begin(), Raw.end()}; }

TEST(ProtocolHandlerConnect, RepliesHandleProductAndVersionAndKeepsTheProperties) {
  TServerChain c;
  EXPECT_EQ(c.Serve(kConnect), R"({"result":[0,"Corvane",2]})");
  EXPECT_TRUE(c.Server->Properties.empty());

  // A later equal name overwrites; the next connect replaces the whole set.
  c.Serve(R"({"method":"connect","params":[{"user":"ana","k":"1","k":"2"}]})");
  EXPECT_EQ(c.Server->Properties, (TDBXProperties{{u"user", u"ana"}, {u"k", u"2"}}));
  c.Serve(R"({"method":"connect","params":[{"x":"y"}]})");
  EXPECT_EQ(c.Server->Properties, (TDBXProperties{{u"x", u"y"}}));
}

TEST(ProtocolHandlerLoop, ServesRequestsThatArriveTogetherInOneCallInOrder) {
  TServerChain c;
  c.Channel.Feed(std::string(kConnect) + kNextResult);
  EXPECT_TRUE(c.Handler->HandleNonBlockingProtocol());
  EXPECT_EQ(c.Channel.WrittenText(), std::string(R"({"result":[0,"Corvane",2]})") + kNextResultReply);
  EXPECT_EQ(c.Channel.PendingBytes(), 0u);
}

TEST(ProtocolHandlerLoop, SkipsAnUnknownMethodWithoutReplyAndServesTheNext) {
  TServerChain c;
  const std::string Unknown = R"({"method":"frobnicate","params":[1,{"x":["]}",2]}]})";
  EXPECT_EQ(c.Serve(Unknown + kNextResult), kNextResultReply);
}

TEST(ProtocolHandlerLoop, NextResultAlwaysGetsTheFixedReply) {
  TServerChain c;
  EXPECT_EQ(c.Serve(R"({"method":"next_result","params":[7]})"), kNextResultReply);
}

// The transaction and vendor requests are answered in the server connection's tests,
// through the real command link.
TEST(ProtocolHandlerLoop, CommandCloseGetsNoReply) {
  TServerChain c;
  EXPECT_EQ(c.Serve(R"({"method":"command_close","params":[0]})"), "");
}

TEST(ProtocolHandlerLoop, DisconnectGetsNoReplyAndEndsRequestHandling) {
  TServerChain c;
  c.Channel.Feed(std::string(R"({"method":"disconnect","params":[0]})") + kNextResult);
  EXPECT_FALSE(c.Handler->HandleNonBlockingProtocol());
  EXPECT_EQ(c.Channel.WrittenText(), "");
  EXPECT_EQ(c.Server->Calls, (std::vector<std::string>{"disconnect"}));
  // Nothing more is read or served once handling ended.
  EXPECT_FALSE(c.Handler->HandleNonBlockingProtocol());
  EXPECT_EQ(c.Channel.WrittenText(), "");
}

TEST(ProtocolHandlerLoop, BlockingLoopServesUntilDisconnect) {
  TServerChain c;
  c.Channel.Feed(kConnect);
  c.Channel.Feed(kNextResult);
  c.Channel.Feed(R"({"method":"disconnect","params":[0]})");
  EXPECT_FALSE(c.Handler->HandleProtocol());
  EXPECT_EQ(c.Channel.WrittenText(), std::string(R"({"result":[0,"Corvane",2]})") + kNextResultReply);
}

TEST(ProtocolHandlerLoop, AMethodThatCannotBeReadEndsTheConnectionWithCode30) {
  for (const std::string Input : {"garbage", "{\"metho\":\"connect\"}", ""}) {
    SCOPED_TRACE(Input);
    TServerChain c;
    c.Channel.Feed(Input);  // nothing at all: the peer vanished
    const TDBXError Error = ErrorOf([&] { c.Handler->HandleNonBlockingProtocol(); });
    EXPECT_EQ(Error.ErrorCode(), 30);
    EXPECT_EQ(Error.Message(), "");
    EXPECT_EQ(c.Channel.WrittenText(), "");
  }
}

TEST(ProtocolHandlerLoop, MetadataReplacesTheInvocationMetadataWithoutReply) {
  TServerChain c;
  const std::string First = R"({"metadata":[9,{"a":"1"}]})";
  const std::string Second = R"({"metadata":[18,{"ResponseCode":7}]})";
  EXPECT_EQ(c.Serve(First + Second + kNextResult), kNextResultReply);
  ASSERT_TRUE(c.Server->Metadata.has_value());
  EXPECT_EQ(*c.Server->Metadata, TJSONValue::parse(R"({"ResponseCode":7})"));
}

TEST(ProtocolHandlerCommands, PrepareBeforeConnectHandsADisconnectFirst) {
  TServerChain c;
  c.Serve(R"({"method":"prepare","params":[-1,false,"Corvane.ServerMethod","X.Y"]})");
  EXPECT_EQ(c.Server->Calls, (std::vector<std::string>{"disconnect", "prepare"}));
  c.Server->Calls.clear();
  c.Serve(kConnect);
  c.Serve(kExecuteHandle0);
  EXPECT_EQ(c.Server->Calls, (std::vector<std::string>{"connect", "execute"}));
}

TEST(ProtocolHandlerCommands, ExecuteWithoutOutValuesAndNegativeRowsIsAnEmptyResult) {
  TServerChain c;
  c.Serve(kConnect);
  EXPECT_EQ(c.Serve(kExecuteHandle0), R"({"result":[]})");
}

// The worked login example: prepare of a method with two strings in and an int32 result,
// then its execute with "ana" and "xyz".
TEST(ProtocolHandlerCommands, LoginExampleBytes) {
  TServerChain c;
  c.Serve(kConnect);
  const std::string Prepare =
      R"({"method":"prepare","params":[-1,false,"Corvane.ServerMethod","TvxServerMethods8765.FazerLogin"]})";
  EXPECT_EQ(c.Serve(Prepare),
            R"({"result":[{"handle":[0]},{"fields":[0,false]},{"parameters":[3,)"
            R"([26,0,1,0,0,"Usuario",0,0,0],[26,0,1,0,0,"Senha",0,0,0],)"
            R"([6,0,4,0,0,"ReturnParameter",0,0,0]]}]})");

  c.Server->Mode = TExecuteMode::Login;
  const std::string Row = Bytes(Hex("23 61 6E 61 23 78 79 7A C0"));
  const std::string Reply =
      c.Serve(R"({"method":"execute","params":[{"handle":[0]},{"data":[9,)" + Row + "]}]}");
  EXPECT_EQ(Reply, R"({"result":[{"data":[4,)" + Bytes(Hex("C0 C0 61 03")) + "]}]}");
  EXPECT_EQ(Bytes(c.Server->RequestRow), Row);
}

TEST(ProtocolHandlerErrors, AFailingExecuteGetsAnErrorReplyAndTheNextRequestIsServed) {
  struct TCase {
    const char* Label;
    std::function<void()> Raise;
    std::string Reply;
  };
  const TCase Cases[] = {
      {"other exception: code 5", [] { throw std::runtime_error("boom"); },
       R"({"error":{"name":"std::runtime_error","code":5,"message":"Remote error: boom"})"},
      {"own error keeps its code", [] { throw TDBXError(113, "ana is not authorized"); },
       R"({"error":{"name":"TDBXError","code":113,"message":"Remote error: ana is not authorized"})"},
      {"inner errors are chained",
       [] {
         try {
           throw std::runtime_error("disk");
         } catch (...) {
           std::throw_with_nested(TDBXError(30, "query failed"));
         }
       },
       "{\"error\":{\"name\":\"TDBXError\",\"code\":30,"
       "\"message\":\"Remote error: query failed\\nCaused by: disk\"}"},
      {"no class to name", [] { throw 42; },
       R"x({"error":{"name":"error(null)","code":5,"message":"Remote error: error(null)"})x"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Label);
    TServerChain c;
    c.Serve(kConnect);
    c.Server->Mode = TExecuteMode::Raise;
    c.Server->Raise = Case.Raise;
    // The error reply leaves its outer object open; the next reply follows at once.
    EXPECT_EQ(c.Serve(std::string(kExecuteHandle0) + kNextResult), Case.Reply + kNextResultReply);
    EXPECT_TRUE(c.Handler->ConnectionHandler().HandleRequests());
  }
}

// An exception "[Depth]" wrapping "[Depth-1]" ... down to "[0]".
std::exception_ptr NestedChain(int Depth) {
  try {
    if (Depth == 0) throw std::runtime_error("[0]");
    try {
      std::rethrow_exception(NestedChain(Depth - 1));
    } catch (...) {
      std::throw_with_nested(std::runtime_error("[" + std::to_string(Depth) + "]"));
    }
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

TEST(ProtocolHandlerErrors, TheCausedByChainFollowsAtMostTenInnerErrors) {
  TDBXErrorMessage Message;
  Message.SetException(NestedChain(12));
  EXPECT_EQ(Message.FErrorCode, 5);
  std::string Expected = "[12]";
  for (int i = 11; i >= 2; --i) Expected += "\nCaused by: [" + std::to_string(i) + "]";
  EXPECT_EQ(Message.FErrorMessage, Expected);

  // An inner message already in the text replaces it.
  try {
    try {
      throw std::runtime_error("disk full");
    } catch (...) {
      std::throw_with_nested(TDBXError(30, "write failed: disk full"));
    }
  } catch (...) {
    Message.SetException(std::current_exception());
  }
  EXPECT_EQ(Message.FErrorMessage, "disk full");
  EXPECT_EQ(Message.FErrorClassName, "TDBXError");
}

// A size or token the reader refuses drops the rest of what arrived with it: the error
// reply goes out and the next request that arrives is served as usual. A size past its
// cap announces bytes still to come, which would read as requests: after the reply the
// refusal ends the connection.
TEST(ProtocolHandlerAbuse, RefusedInputGetsAnErrorReplyAndTheConnectionGoesOnWhileInStep) {
  const struct {
    std::string Request;
    bool EndsConnection;
  } Cases[] = {
      {R"({"method":"execute","params":[{"handle":[0]},{"data":[999999999,xx]}]})", true},
      {R"({"method":"execute","params":[{"handle":[0]},{"data":[-5,xx]}]})", false},
      {R"({"method":"execute","params":[{"handle":[0]},{"parameters":[1,[99,0,1,0,0,"p",0,0]]}]})", false},
      {R"({"method":"execute","params":[{"handle":[0]},{"table":[{"columns":[1,["c",6,0,0,0,0,0]]}]}{"data":[-2147483648]}]})",
       true},
      {R"({"method":"prepare","params":[nope]})", false},
      {R"({"method":"next","params":[1.5,0]})", false},
      {R"({"method":"connect","params":[{"a":1}]})", false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Request);
    TServerChain c;
    c.Serve(kConnect);
    std::string Reply;
    bool Ended = false;
    try {
      Reply = c.Serve(Case.Request);
    } catch (const TDBXMidValueRefusal&) {
      Reply = c.Channel.WrittenText();
      Ended = true;
    }
    EXPECT_TRUE(Reply.starts_with(R"({"error":{"name":"TDBXError","code":)")) << Reply;
    EXPECT_EQ(Ended, Case.EndsConnection);
    if (!Ended) {
      EXPECT_EQ(c.Serve(kNextResult), kNextResultReply);
    }
  }
}

TEST(ProtocolHandlerChain, CreateDbxRowAndCommandHandlesOfAConnectionAreRefused) {
  TServerChain c;
  EXPECT_EQ(ErrorOf([&] { c.Server->GetCommandHandle(); }).ErrorCode(), 30);
  EXPECT_EQ(ErrorOf([&] { c.Server->SetCommandHandle(1); }).ErrorCode(), 30);
  EXPECT_EQ(ErrorOf([&] { c.Server->CreateDbxRow(); }).ErrorCode(), 30);
}

}  // namespace
}  // namespace tavrin
