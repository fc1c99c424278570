// Nothing half-written: the real server is killed (as a power cut would end it) while it
// applies a large delta inside its write transaction, then started again on the same
// data folder. tabest1 is wholly as before or wholly as after, and the database file
// passes its integrity check.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "client/connection.h"
#include "client/provider_client.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/delta_writer.h"
#include "datapacket/packet_values.h"
#include "demo_data/demo_data.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "support/child_process.h"
#include "support/temp_folder.h"
#include "transport/tcp_client_channel.h"

namespace tavrin::testing {
namespace {

#ifndef _WIN32
constexpr int kKillProducts = 400;
constexpr char kKillPortCaption[] = "Porta em uso: ";
constexpr char kKillNoAddressService[] = "http://127.0.0.1:1/";
constexpr char kPauseVariable[] = "TAVRIN_TEST_APPLY_PAUSE_MS";

class TKilledServer {
 public:
  explicit TKilledServer(const std::string& Folder) {
    FProcess = std::make_unique<TChildProcess>(
        TAVRIN_PROGRAM, std::vector<std::string>{"--headless", "--port", "0", "--data-folder", Folder,
                                                 "--address-service", kKillNoAddressService});
    for (const std::string& Line : FProcess->OutLinesUntil("N\u00e3o dispon\u00edvel")) {
      if (Line.starts_with(kKillPortCaption)) Port = static_cast<std::uint16_t>(std::stoi(Line.substr(sizeof kKillPortCaption - 1)));
    }
  }
  std::unique_ptr<TChildProcess> FProcess;
  std::uint16_t Port = 0;
};

// The sale prices of the list the server hands out.
std::multiset<double> Prices(std::uint16_t Port) {
  TDBXTcpClientChannel Channel("127.0.0.1", Port, true);
  TDBXClientConnection Connection(Channel);
  Connection.Connect({});
  TDBXProviderClient Provider(Connection, u"TvxServerMethods8765");
  const TDSBase List(std::get<std::vector<std::uint8_t>>(Provider.GetRecords(u"dsEst1", -1, 0).Data.Value));
  const TPacketColumn& Price = *List.Level().FindColumn("precovenda");
  std::multiset<double> Result;
  for (TDSCursor Row(List); !Row.Eof(); Row.Next()) Result.insert(*ReadFloat(Price.TypeWord, Row.Value(Price).Data));
  return Result;
}

#endif

TEST(ApplyKilled, AServerKilledInsideTheWriteTransactionLeavesTheTableWhollyBeforeOrAfter) {
#ifdef _WIN32
  GTEST_SKIP() << "the pause between rows is set through the environment of a POSIX child";
#else
  TTempFolder Folder;
  CreateDemoData(Folder.Path().string());
  const std::string File = (Folder.Path() / TDatabaseFiles::kDatabaseFileName).string();
  {
    TSqliteConnection Database(File, TSqliteConnection::TOpenMode::ExistingFile);
    Database.Execute(
        "delete from tabest1;"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " + std::to_string(kKillProducts) + ")"
        " insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo)"
        " select i, 'Produto ' || i, 1, 1.5, i, 0 from n");
  }
  ::setenv(kPauseVariable, "10", 1);
  auto Server = std::make_unique<TKilledServer>(Folder.Path().string());
  ::unsetenv(kPauseVariable);
  ASSERT_NE(Server->Port, 0);

  // The client sends every price changed; its connection dies with the server.
  std::thread Client([Port = Server->Port] {
    try {
      TDBXTcpClientChannel Channel("127.0.0.1", Port, true);
      TDBXClientConnection Connection(Channel);
      Connection.Connect({});
      TDBXProviderClient Provider(Connection, u"TvxServerMethods8765");
      const TDSBase List(std::get<std::vector<std::uint8_t>>(Provider.GetRecords(u"dsEst1", -1, 0).Data.Value));
      TDeltaWriter Delta(List);
      const std::size_t Price = List.Level().FindColumn("precovenda")->Slot;
      for (TDSCursor Row(List); !Row.Eof(); Row.Next()) Delta.AddModified(Row, {{Price, TDeltaValue::Of(FloatValue(2.5).Bytes())}});
      std::int32_t Errors = 0;
      Provider.ApplyUpdates(u"dsEst1", Delta.Take(), 0, Errors);
      ADD_FAILURE() << "the apply ended before the server was killed";
    } catch (const std::exception&) {
      // The server went away mid-call: what the test is about.
    }
  });

  // The write lock taken by the server is the sign its transaction is open.
  {
    TSqliteConnection Probe(File, TSqliteConnection::TOpenMode::ExistingFile);
    Probe.Execute("pragma busy_timeout = 0");
    bool Locked = false;
    for (int Attempt = 0; Attempt < 1000 && !Locked; ++Attempt) {
      try {
        Probe.Execute("begin immediate");
        Probe.Execute("rollback");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      } catch (const std::exception&) {
        Locked = true;
      }
    }
    ASSERT_TRUE(Locked) << "the server never took the write lock";
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // some rows written, not all
  ASSERT_TRUE(Server->FProcess->Kill());
  EXPECT_EQ(Server->FProcess->Wait(), -1);
  Client.join();

  Server = std::make_unique<TKilledServer>(Folder.Path().string());
  ASSERT_NE(Server->Port, 0);
  const std::multiset<double> After = Prices(Server->Port);
  EXPECT_EQ(After.size(), static_cast<std::size_t>(kKillProducts));
  EXPECT_TRUE(After.count(1.5) == After.size() || After.count(2.5) == After.size());
  Server->FProcess->RequestStop();
  EXPECT_EQ(Server->FProcess->Wait(), 0);

  TSqliteConnection Database(File, TSqliteConnection::TOpenMode::ExistingFile);
  TSqliteStatement Check;
  std::string_view Tail;
  ASSERT_EQ(Check.Prepare(Database, "pragma integrity_check", Tail), 0);
  ASSERT_TRUE(Check.Step());
  EXPECT_EQ(std::get<std::string>(Check.ColumnValue(0)), "ok");
#endif
}

}  // namespace
}  // namespace tavrin::testing
