// Clients that try to make the server hold memory or flood it with requests. Each case
// checks what the server answered the abuser and that an honest client beside it still
// connects and gets its answer.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/connection.h"
#include "dbx_test_server.h"
#include "dbxstream/command_types.h"
#include "server/builtin/builtin_classes.h"
#include "server/builtin/memory_table.h"
#include "server/methods/command_type.h"
#include "server/methods/server_connection_handler.h"
#include "server/methods/server_method_provider.h"
#include "server/methods/test_server_classes.h"
#include "support/error_of.h"
#include "transport/tcp_client_channel.h"
#include "transport/test_client.h"
#include "vocabulary/client_memory.h"
#include "vocabulary/client_text.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;
using namespace std::chrono_literals;

const std::string kEchoType = "Corvane.ServerMethod";

// An honest client connects, prepares Echo and gets its answer.
void ExpectHonestClientServed(std::uint16_t Port) {
  TTestClient Honest;
  ASSERT_TRUE(Honest.Connect(Port));
  Honest.Send(kConnect + Prepare(kEchoType, kEchoAlias) + Execute(0, EchoRow("ok")));
  const std::string Expected = kConnectReply + PrepareReply(0) + EchoReply("ok");
  EXPECT_EQ(Honest.Read(Expected.size()), Expected);
}

// A client connection over its own TCP channel.
struct TAbuseClient {
  explicit TAbuseClient(std::uint16_t Port) : Channel("127.0.0.1", Port, true), Connection(Channel) {
    Connection.Connect({});
  }
  std::int32_t Prepare(const std::u16string& Method) {
    return Connection.Prepare(TDSCommandTypes::kServerMethod, Method).CommandHandle;
  }
  TDBXTcpClientChannel Channel;
  TDBXClientConnection Connection;
};

// The error reply's text for a refusal past a per-connection cap of Count.
std::string Refusal(std::string_view Text, std::int32_t Count) {
  const std::size_t At = Text.find("%d");
  return "Remote error: " + std::string(Text.substr(0, At)) + std::to_string(Count) +
         std::string(Text.substr(At + 2));
}

// Resident memory of this process in bytes, or -1 where the system does not say.
std::int64_t ResidentBytes() {
  std::ifstream Status("/proc/self/status");
  std::string Word;
  while (Status >> Word) {
    if (Word == "VmRSS:") {
      std::int64_t KiB = -1;
      Status >> KiB;
      return KiB * 1024;
    }
  }
  return -1;
}

TEST(DbxServerAbuse, AnAnnouncedBlockThatNeverComesCostsNothing) {
  TDbxTestServer Server;
  constexpr int kAbusers = 8;
  const std::int64_t Before = ResidentBytes();
  std::vector<std::unique_ptr<TTestClient>> Abusers;
  for (int i = 0; i < kAbusers; ++i) {
    auto& Abuser = *Abusers.emplace_back(std::make_unique<TTestClient>());
    ASSERT_TRUE(Abuser.Connect(Server.Port()));
    Abuser.Send(kConnect + std::string(R"({"method":"execute","params":[{"fields":[-1,false,")") +
                kEchoType + R"(",")" + kEchoAlias + R"("]},{"data":[67107864,)");
    EXPECT_EQ(Abuser.Read(sizeof kConnectReply - 1), kConnectReply);
  }
  ExpectHonestClientServed(Server.Port());
  std::this_thread::sleep_for(300ms);  // the abusers' threads are waiting for the bytes
  for (auto& Abuser : Abusers) EXPECT_TRUE(Abuser->Quiet(10ms));
  if (Before >= 0) {
    // Held whole, the announced blocks would be kAbusers × 64 MiB.
    EXPECT_LT(ResidentBytes() - Before, std::int64_t{kAbusers} * limits::kMaxDataBlockBytes / 8);
  }
  Abusers.clear();
  EXPECT_TRUE(Eventually([&] { return Server.Transport().ConnectionCount() == 0; }));
}

TEST(DbxServerAbuse, ThousandsOfUnclosedExecutesMeetTheCommandCap) {
  TDbxTestServer Server;
  TTestClient Abuser;
  ASSERT_TRUE(Abuser.Connect(Server.Port()));
  constexpr int kExecutes = 1000;
  std::string Sent = kConnect;
  std::string Expected = kConnectReply;
  for (int i = 0; i < kExecutes; ++i) {
    Sent += ExecuteNew(kEchoType, kEchoAlias, EchoRow("ok"));
    Expected += i < limits::kMaxOpenCommands
                    ? EchoReply("ok")
                    : ErrorReply(2, Refusal(TDSConnectionErrors::kTooManyCommands, limits::kMaxOpenCommands)
                                        .substr(sizeof "Remote error: " - 1));
  }
  // Closing one command makes room for one more.
  Sent += CommandClose(7) + ExecuteNew(kEchoType, kEchoAlias, EchoRow("ok"));
  Expected += EchoReply("ok");
  Abuser.Send(Sent);
  EXPECT_EQ(Abuser.Read(Expected.size()), Expected);
  ExpectHonestClientServed(Server.Port());
}

TEST(DbxServerAbuse, OpenTablesAreCappedPerConnection) {
  TDbxTestServer Server;
  TAbuseClient c(Server.Port());
  std::vector<TDBXExecuteReply> Open;  // every table left unread and open
  for (int i = 0; i < limits::kMaxOpenTables; ++i) {
    Open.push_back(c.Connection.Execute(c.Prepare(u"TTestMethods.Rows")));
    ASSERT_EQ(Open.back().Tables.size(), 1u) << i;
  }
  const std::int32_t Extra = c.Prepare(u"TTestMethods.Rows");
  const TDBXError Error = ErrorOf([&] { c.Connection.Execute(Extra); });
  EXPECT_EQ(Error.ErrorCode(), 2);
  EXPECT_EQ(Error.Message(), Refusal(TDSConnectionErrors::kTooManyTables, limits::kMaxOpenTables));
  // Executing a command again replaces its own table, so it is served at the cap.
  Open[3] = c.Connection.Execute(3);
  EXPECT_EQ(Open[3].Tables.size(), 1u);
  // A closed table makes room.
  c.Connection.ReaderClose(*Open[5].Tables[0]);
  EXPECT_EQ(c.Connection.Execute(Extra).Tables.size(), 1u);
  ExpectHonestClientServed(Server.Port());
}

// A class whose Table answers a table held in memory: 1,000 rows of 1,000 letters, about
// 2 MB of text.
const TDSClassDeclaration& AbuseTablesDeclaration() {
  static const TDSClassDeclaration Declaration = [] {
    TDSClassDeclaration C;
    C.ClassName = "TTables";
    C.UnitName = "TablesUnit";
    C.ParentClassName = "TObject";
    C.Create = [] { return std::make_unique<TDSServerObject>(); };
    C.Methods.push_back(Method("Table", {}, Class("TDBXReader"), [](TDSServerObject&, TDSMethodCall& Call) {
      static constexpr TDSColumnLayout kColumns[] = {{"TEXTO", TDBXDataTypes::WideStringType, kTextColumnSize}};
      auto Table = std::make_shared<TDSMemoryTable>("TEXTOS", kColumns);
      for (int i = 0; i < 1000; ++i) {
        Table->AppendRow();
        Table->SetText(0, std::string(1000, static_cast<char>('a' + i % 26)));
      }
      Call.SetResult(std::shared_ptr<TDBXReader>(std::move(Table)));
    }));
    return C;
  }();
  return Declaration;
}

TEST(DbxServerAbuse, TheMemoryOfOpenTablesCountsAgainstTheConnection) {
  std::unique_ptr<TDSServerClass> Tables = ServerClassOf(AbuseTablesDeclaration());
  TDSServerMethodProvider Registry{std::vector<const TDSClassDeclaration*>{&DSAdminDeclaration()}};
  Registry.SetServerName("DSServer1");
  Registry.AddServerClass(*Tables);
  Registry.Open();
  TDbxTestServer Server(Registry);
  TAbuseClient c(Server.Port());
  // Each table is left open until one no longer fits in what the connection may hold,
  // well before the cap on open tables.
  std::vector<TDBXExecuteReply> Open;
  TDBXError Refused(0, "");
  for (int i = 0; i < limits::kMaxOpenTables && Refused.Message().empty(); ++i) {
    const std::int32_t Command = c.Prepare(u"TTables.Table");
    try {
      Open.push_back(c.Connection.Execute(Command));
    } catch (const TDBXError& Error) {
      Refused = Error;
    }
  }
  EXPECT_EQ(Refused.ErrorCode(), 2);
  EXPECT_EQ(Refused.Message(), "Remote error: An open table refused: the connection would hold more than 64 MiB in "
                               "requests and unsent replies");
  // About 2 MB each: some thirty fit in 64 MiB.
  EXPECT_GE(Open.size(), 20u);
  EXPECT_LE(Open.size(), 32u);
  // The connection goes on, and a closed table gives its memory back.
  c.Connection.ReaderClose(*Open.front().Tables[0]);
  EXPECT_EQ(c.Connection.Execute(c.Prepare(u"TTables.Table")).Tables.size(), 1u);
  TAbuseClient Honest(Server.Port());
  EXPECT_EQ(Honest.Prepare(u"DSAdmin.GetPlatformName"), 0);
}

TEST(DbxServerAbuse, PreparesPastTheCommandCapAreRefusedUntilOneCloses) {
  TDbxTestServer Server;
  TAbuseClient c(Server.Port());
  for (int i = 0; i < limits::kMaxOpenCommands; ++i) ASSERT_EQ(c.Prepare(u"TTestMethods.Echo"), i);
  const TDBXError Error = ErrorOf([&] { c.Prepare(u"TTestMethods.Echo"); });
  EXPECT_EQ(Error.ErrorCode(), 2);
  EXPECT_EQ(Error.Message(), Refusal(TDSConnectionErrors::kTooManyCommands, limits::kMaxOpenCommands));
  c.Connection.CommandClose(9);
  EXPECT_EQ(c.Prepare(u"TTestMethods.Echo"), 9);
  ExpectHonestClientServed(Server.Port());
}

// A server over the product's method registry with DSAdmin in it.
struct TAdminServer {
  TAdminServer() {
    Registry.SetServerName("DSServer1");
    Registry.Open();
  }
  TDSServerMethodProvider Registry{std::vector<const TDSClassDeclaration*>{&DSAdminDeclaration()}};
  TDbxTestServer Server{Registry};
};

TEST(DbxServerAbuse, ErrorRepliesQuoteAShortPieceOfAHugeClientText) {
  TAdminServer Admin;
  // Megabytes of name: far past the quote, yet quick to scan in a sanitizer build.
  const std::string Huge(4 << 20, 'n');
  const std::string Cut = std::string(static_cast<std::size_t>(limits::kMaxQuotedClientChars), 'n') + "...";
  ASSERT_EQ(QuotedClientText(Huge), Cut);
  struct Case { const char* Name; std::string Request; std::string Reply; };
  const Case Cases[] = {
      {"method name", Prepare(kEchoType, "DSAdmin." + Huge),
       ErrorReply(105, "DSAdmin." + Cut.substr(8) + " method not found in the server method list")},
      {"command type", Prepare(Huge, "DSAdmin.GetPlatformName"),
       ErrorReply(30, Cut + " is an unrecognized command type")},
  };
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Name);
    TTestClient Abuser;
    ASSERT_TRUE(Abuser.Connect(Admin.Server.Port()));
    Abuser.Send(kConnect + c.Request + Prepare(kEchoType, "DSAdmin.GetPlatformName"));
    const std::string Expected = kConnectReply + c.Reply;
    EXPECT_EQ(Abuser.Read(Expected.size(), 20s), Expected);
    // The connection goes on: the next request is answered.
    EXPECT_EQ(Abuser.Read(sizeof R"({"result":[{"handle":[0]})" - 1), R"({"result":[{"handle":[0]})");
  }
  TAbuseClient Honest(Admin.Server.Port());
  EXPECT_EQ(Honest.Prepare(u"DSAdmin.GetPlatformName"), 0);
}

TEST(DbxServerAbuse, AConnectPastThePropertyCapsIsReadWholeRefusedAndTheConnectionGoesOn) {
  TDbxTestServer Server;
  const auto ConnectWith = [](std::size_t Count, std::size_t ValueChars) {
    std::string Sent = R"({"method":"connect","params":[{)";
    for (std::size_t i = 0; i < Count; ++i) {
      Sent += (i == 0 ? "\"p" : ",\"p") + std::to_string(i) + R"(":")" + std::string(ValueChars, 'v') + '"';
    }
    return Sent + "}]}";
  };
  const std::string Refused = ErrorReply(2, "Connect request refused: more than 256 properties or 65536 characters of them");
  struct Case { const char* Name; std::string Request; std::string Reply; };
  const Case Cases[] = {
      {"at the caps", ConnectWith(limits::kMaxConnectProperties, 200), kConnectReply},
      {"one property too many", ConnectWith(limits::kMaxConnectProperties + 1, 1), Refused},
      {"200,000 properties", ConnectWith(200'000, 1), Refused},
      {"one huge value", ConnectWith(1, 8 << 20), Refused},
  };
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Name);
    TTestClient Abuser;
    ASSERT_TRUE(Abuser.Connect(Server.Port()));
    // The request after it is read in step and served.
    Abuser.Send(c.Request + kConnect + Prepare(kEchoType, kEchoAlias));
    const std::string Expected = c.Reply + kConnectReply + PrepareReply(0);
    EXPECT_EQ(Abuser.Read(Expected.size(), 20s), Expected);
  }
  ExpectHonestClientServed(Server.Port());
}

TEST(DbxServerAbuse, AMethodNameOf30MiCharactersGetsAShortReplyAndTheConnectionGoesOn) {
  TAdminServer Admin;
  // Within the string cap (32 Mi units) and the connection's 64 MiB once held as 16-bit
  // units without a second copy: read whole, looked up, and refused quoting little of it.
  const std::string Name = "DSAdmin." + std::string(30 << 20, 'n');
  TTestClient Abuser;
  ASSERT_TRUE(Abuser.Connect(Admin.Server.Port()));
  Abuser.Send(kConnect + Prepare(kEchoType, Name));
  const std::string Expected =
      kConnectReply + ErrorReply(105, Name.substr(0, 256) + "... method not found in the server method list");
  EXPECT_EQ(Abuser.Read(Expected.size(), 20s), Expected);
  // The stream is still in step: the next request is served.
  Abuser.Send(Prepare(kEchoType, "DSAdmin.GetPlatformName"));
  EXPECT_EQ(Abuser.Read(11, 20s), R"({"result":[)");
  TAbuseClient Honest(Admin.Server.Port());
  EXPECT_EQ(Honest.Prepare(u"DSAdmin.GetPlatformName"), 0);
}

// A piece of a long value as a client sends it when the server asks: a positive count
// when more pieces follow, zero or less on the last one.
std::string AbuseBlobPiece(const std::string& Bytes, bool Last) {
  const auto Size = static_cast<std::int64_t>(Bytes.size());
  std::string Count = std::to_string(Last ? -Size : Size);
  Count.resize(9, ' ');
  return R"({"data":[)" + Count + "," + Bytes + "]}";
}

// Each value is past its cap or what one connection may hold and its bytes are sent
// whole: the server answers with an error naming the cap, and as the rest of the value
// cannot be read as requests, it ends the connection and says so.
TEST(DbxServerAbuse, HugeValuesInTheOtherCarriersAreRefusedAndTheConnectionEnds) {
  constexpr std::size_t kMiB = 1024 * 1024;
  // An Echo argument of 80 MiB: 65,535 bytes in the row, the rest in pieces of 8 MiB the
  // server asks for one by one.
  const std::string LongRow = std::string("\x50\xFF\xFF", 3) + std::string(0xFFFF, 'x') + "\xC0";
  std::string LongPieces;
  for (int i = 0; i < 10; ++i) LongPieces += AbuseBlobPiece(std::string(8 * kMiB, 'x'), false);
  LongPieces += AbuseBlobPiece("", true);
  // Its text is held as 16-bit units: it passes what one connection may hold within the
  // fourth piece.
  std::string LongAsks;
  for (int i = 0; i < 4; ++i) LongAsks += R"({"more_blob":[-1,1,0,0,-1]})";
  // A row block past the cap: the argument, then bytes the method would not read.
  const std::string HugeRow = EchoRow("ok") + std::string(65 * kMiB, 'p');
  const std::string HugeMetadata = R"({"k":")" + std::string(65 * kMiB, 'm') + R"("})";
  const auto MetadataOf = [](const std::string& Text) {
    return R"({"metadata":[)" + std::to_string(Text.size()) + "," + Text + "]}";
  };
  // Past the read buffer (32 KiB here) metadata is refused as well.
  const std::string LongMetadata = R"({"k":")" + std::string(40'000, 'm') + R"("})";
  struct Case { const char* Name; std::string Request; std::string Reply; };
  const Case Cases[] = {
      {"parameter row", ExecuteNew(kEchoType, kEchoAlias, HugeRow),
       ErrorReply(2, "Invalid row block size " + std::to_string(HugeRow.size()))},
      {"long value", ExecuteNew(kEchoType, kEchoAlias, LongRow) + LongPieces,
       LongAsks + ErrorReply(2, "A long value refused: the connection would hold more than 64 MiB in requests and "
                                "unsent replies")},
      {"metadata", MetadataOf(HugeMetadata) + ExecuteNew(kEchoType, kEchoAlias, EchoRow("ok")),
       ErrorReply(2, "Metadata of " + std::to_string(HugeMetadata.size()) + " bytes is above the limit of 67108864 bytes")},
      {"metadata past the read buffer", MetadataOf(LongMetadata) + ExecuteNew(kEchoType, kEchoAlias, EchoRow("ok")),
       ErrorReply(2, "Metadata of " + std::to_string(LongMetadata.size()) +
                         " bytes does not lie within the read buffer of 32768 bytes")},
  };
  TDbxTestServer Server;
  std::size_t Closes = 0;
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Name);
    TTestClient Abuser;
    ASSERT_TRUE(Abuser.Connect(Server.Port()));
    Abuser.Send(kConnect + c.Request);
    const std::string Expected = kConnectReply + c.Reply;
    EXPECT_EQ(Abuser.Read(Expected.size(), 20s), Expected);
    EXPECT_TRUE(Abuser.ClosedByServer(20s));
    // The server closed it for the refusal, and says so once.
    EXPECT_TRUE(Eventually([&] { return Server.RefusalCloses().size() == Closes + 1; }, 5s));
    EXPECT_EQ(Server.RefusalCloses(), std::vector<std::string>(++Closes, "127.0.0.1"));
    ExpectHonestClientServed(Server.Port());
  }
  EXPECT_TRUE(Eventually([&] { return Server.Transport().ConnectionCount() == 0; }));
}

TEST(DbxServerAbuse, PastTheServersMemoryARequestWaitsForRoomThenIsRefused) {
  constexpr std::int64_t kMiB = 1024 * 1024;
  TServerMemoryBudget Budget(8 * kMiB, 1s);
  std::mutex ReportsLock;
  std::vector<std::string> Reports;  // what the operator's log is told
  Budget.SetOnRefusal([&](const std::string& Client) {
    std::lock_guard Guard(ReportsLock);
    Reports.push_back(Client);
  });
  const auto ReportsNow = [&] {
    std::lock_guard Guard(ReportsLock);
    return Reports;
  };
  TDbxTestServer Server(Budget);
  // A block of 6 MiB; an Echo row whose trailing bytes the method does not read.
  const std::string Row = EchoRow("ok") + std::string(6 * kMiB - EchoRow("ok").size(), 'p');
  const std::string Whole = kConnect + ExecuteNew(kEchoType, kEchoAlias, Row);
  const std::string Refused = ErrorReply(
      2, "A row of values refused: the server holds all the memory it allows for its clients (8 MiB); try again later");
  // The hog sends 5 MiB of its block and stops: the server holds about 6 MiB for it.
  TTestClient Hog;
  ASSERT_TRUE(Hog.Connect(Server.Port()));
  Hog.Send(Whole.substr(0, Whole.size() - kMiB));
  EXPECT_EQ(Hog.Read(sizeof kConnectReply - 1), kConnectReply);
  ASSERT_TRUE(Eventually([&] { return Budget.Held() >= 5 * kMiB; })) << Budget.Held();
  // A second large request finds no room within the wait and is refused; the rest of its
  // block no longer reads as a request, so its connection ends. The operator's log is
  // told of the refusal and of the close.
  {
    TTestClient Refusee;
    ASSERT_TRUE(Refusee.Connect(Server.Port()));
    Refusee.Send(Whole);
    const std::string Expected = kConnectReply + Refused;
    EXPECT_EQ(Refusee.Read(Expected.size(), 20s), Expected);
    EXPECT_TRUE(Refusee.ClosedByServer());
  }
  EXPECT_EQ(ReportsNow(), std::vector<std::string>{"127.0.0.1"});
  EXPECT_TRUE(Eventually([&] { return Server.RefusalCloses().size() == 1; }, 5s));
  // Small requests still fit.
  ExpectHonestClientServed(Server.Port());
  // A large request that room frees up for while it waits is slowed, not refused.
  TTestClient Patient;
  ASSERT_TRUE(Patient.Connect(Server.Port()));
  // The hog leaves while the patient's request waits (sending it blocks until then).
  std::thread HogLeaves([&] {
    std::this_thread::sleep_for(200ms);
    Hog.Close();
  });
  Patient.Send(Whole);
  HogLeaves.join();
  const std::string Served = kConnectReply + EchoReply("ok");
  EXPECT_EQ(Patient.Read(Served.size(), 20s), Served);
  Patient.Close();
  EXPECT_TRUE(Eventually([&] { return Budget.Held() == 0; }));
}

TEST(DbxServerAbuse, ARequestWaitingForRoomStopsWaitingWhenItsClientHasGone) {
  constexpr std::int64_t kMiB = 1024 * 1024;
  constexpr auto kWait = 5s;
  TServerMemoryBudget Budget(8 * kMiB, kWait);
  TDbxTestServer Server(Budget);
  const std::string Row = EchoRow("ok") + std::string(6 * kMiB - EchoRow("ok").size(), 'p');
  const std::string Whole = kConnect + ExecuteNew(kEchoType, kEchoAlias, Row);
  // The hog holds about 6 MiB of the 8 while its block stays unfinished.
  TTestClient Hog;
  ASSERT_TRUE(Hog.Connect(Server.Port()));
  Hog.Send(Whole.substr(0, Whole.size() - kMiB));
  EXPECT_EQ(Hog.Read(sizeof kConnectReply - 1), kConnectReply);
  ASSERT_TRUE(Eventually([&] { return Budget.Held() >= 5 * kMiB; })) << Budget.Held();
  const std::int64_t HogHeld = Budget.Held();
  // The leaver's 4 MiB of block do not fit beside it: its request waits, and the leaver
  // goes while it does. It resets: an orderly close would wait behind the bytes the
  // server has not read yet.
  TTestClient Leaver;
  ASSERT_TRUE(Leaver.Connect(Server.Port()));
  Leaver.Send(Whole.substr(0, Whole.size() - 2 * kMiB));
  EXPECT_EQ(Leaver.Read(sizeof kConnectReply - 1), kConnectReply);
  std::this_thread::sleep_for(200ms);  // its thread is waiting for room now
  ASSERT_EQ(Server.Transport().ConnectionCount(), 2u);
  const auto Left = std::chrono::steady_clock::now();
  Leaver.Reset();
  // Its connection ends well before the wait would have run out, giving back what it held.
  EXPECT_TRUE(Eventually([&] { return Server.Transport().ConnectionCount() == 1; }, kWait / 2));
  EXPECT_LT(std::chrono::steady_clock::now() - Left, kWait / 2);
  EXPECT_TRUE(Eventually([&] { return Budget.Held() == HogHeld; })) << Budget.Held();
  // A client that went is no refusal to log.
  EXPECT_TRUE(Server.RefusalCloses().empty());
  ExpectHonestClientServed(Server.Port());
}

}  // namespace
}  // namespace tavrin
