// What the product list costs, on a data folder of 100,000 active products:
//   the whole list through the network (one AS_GetRecords with Count -1 on the real
//   server container, the client decoding every value) against the product query's
//   exact statement, prepared once on an open SQLite connection, stepping all rows and
//   reading all five columns in process;
//   the first page (each time one AS_GetRecords with Count 50 and grReset) against an
//   echo round trip of the same request and reply sizes plus the same statement
//   stepping 50 rows;
//   how far the resident memory of a separate server process (the tavrin program)
//   grows at its peak while it sends the whole list, against the packet's size.

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_demo_folder.h"
#include "client/connection.h"
#include "client/provider_client.h"
#include "counting_channel.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/packet_values.h"
#include "demo_data/demo_data.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "interleaved_ratio.h"
#include "one_core.h"
#include "loopback_echo.h"
#include "product/server_container.h"
#include "server_process.h"
#include "transport/tcp_client_channel.h"

namespace tavrin {
namespace {

constexpr int kListProducts = 100'000;
constexpr std::int32_t kListPage = 50;
constexpr std::int32_t kListAll = -1;
constexpr std::int32_t kListReset = 2;  // grReset
constexpr char16_t kListClass[] = u"TvxServerMethods8765";
constexpr char16_t kListProvider[] = u"dsEst1";
// How long the server process may take to listen.
constexpr auto kListServerStart = std::chrono::seconds(20);

// A demo data folder whose product table holds kListProducts active products, made once
// for the run and removed at its end.
class TListFolder : public TBenchDemoFolder {
 public:
  TListFolder() : TBenchDemoFolder("tavrin-list-bench-") {
    TSqliteConnection Connection(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
    Connection.Execute(
        "delete from tabest1;"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        std::to_string(kListProducts) +
        ")"
        " insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo)"
        " select i, 'Produto n\u00famero ' || ((i * 7919) % 100003) || ' da linha ' || (i % 97),"
        " round((i % 5000) / 7.0, 2), round((i % 5000) / 5.0, 2), (i % 300) / 4.0,"
        " case when i % 2 = 0 then null else 0 end from n");
  }
};

const TListFolder& ListFolder() {
  static const TListFolder Folder;
  return Folder;
}

struct TListServer : TBenchProductServer {
  TListServer() : TBenchProductServer(ListFolder().Path()) {}
};

class TListClient {
 public:
  explicit TListClient(std::uint16_t Port) : FTcp("127.0.0.1", Port), FChannel(FTcp), FConnection(FChannel) {
    FConnection.Connect({});
  }
  ~TListClient() {
    FProvider.Close();
    FConnection.Disconnect();
  }
  TDBXRecordsReply Get(std::int32_t Count, std::int32_t Options) { return FProvider.GetRecords(kListProvider, Count, Options); }
  std::u16string Names() { return FProvider.GetProviderNames(); }
  bench::TCountingChannel& Channel() { return FChannel; }

 private:
  TDBXTcpClientChannel FTcp;
  bench::TCountingChannel FChannel;
  TDBXClientConnection FConnection;
  TDBXProviderClient FProvider{FConnection, kListClass};
};

// Reads every value of every row as its column's type; returns the rows.
std::int64_t DecodeEveryValue(TDSVariant&& Packet) {
  const TDSBase Base(std::move(std::get<std::vector<std::uint8_t>>(Packet.Value)));
  const auto& Columns = Base.Level().Columns;
  std::int64_t Rows = 0;
  for (TDSCursor Cursor(Base); !Cursor.Eof(); Cursor.Next()) {
    ++Rows;
    for (const TPacketColumn& Column : Columns) {
      const TPacketValue& Value = Cursor.Value(Column);
      if (Value.State != TValueState::Value) continue;
      if (Column.BaseType() == TPacketType::WideText) {
        benchmark::DoNotOptimize(ReadText(Column.TypeWord, Value.Data));
      } else if (Column.BaseType() == TPacketType::Integer) {
        benchmark::DoNotOptimize(ReadInteger(Column.TypeWord, Value.Data));
      } else {
        benchmark::DoNotOptimize(ReadFloat(Column.TypeWord, Value.Data));
      }
    }
  }
  return Rows;
}

// The product query's statement, prepared once on its own open connection.
class TListStatement {
 public:
  TListStatement() : FConnection(ListFolder().DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile) {
    std::string Sql;
    for (const char* Line : TServerMethodsTexts::kProductStatement) Sql += std::string(Line) + "\n";
    std::string_view Tail;
    FStatement.Prepare(FConnection, Sql, Tail);
  }
  // Steps at most Rows rows (all for -1) from the start, reading all five columns.
  std::int64_t Step(std::int64_t Rows) {
    sqlite3_stmt* Handle = FStatement.Handle();
    sqlite3_reset(Handle);
    std::int64_t Read = 0;
    while ((Rows < 0 || Read < Rows) && sqlite3_step(Handle) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_int64(Handle, 0));
      benchmark::DoNotOptimize(sqlite3_column_text(Handle, 1));
      benchmark::DoNotOptimize(sqlite3_column_bytes(Handle, 1));
      benchmark::DoNotOptimize(sqlite3_column_double(Handle, 2));
      benchmark::DoNotOptimize(sqlite3_column_double(Handle, 3));
      benchmark::DoNotOptimize(sqlite3_column_double(Handle, 4));
      ++Read;
    }
    return Read;
  }

 private:
  TSqliteConnection FConnection;
  TSqliteStatement FStatement;
};

void BM_ProductListWhole(benchmark::State& State) {
  const bench::TOnOneCore OneCore;
  TListServer Server;
  TListClient Client(Server.Container.BoundPort());
  TListStatement Statement;
  TDBXRecordsReply First = Client.Get(kListAll, 0);
  const auto PacketBytes = static_cast<double>(std::get<std::vector<std::uint8_t>>(First.Data.Value).size());
  if (First.RecsOut != kListProducts || DecodeEveryValue(std::move(First.Data)) != kListProducts ||
      Statement.Step(kListAll) != kListProducts) {
    State.SkipWithError("the list did not hold every product");
    return;
  }
  const std::vector<double> Ns = bench::FastestInterleaved(
      State,
      {[&] { benchmark::DoNotOptimize(DecodeEveryValue(Client.Get(kListAll, 0).Data)); },
       [&] { benchmark::DoNotOptimize(Statement.Step(kListAll)); }},
      1);
  State.counters["x_statement"] = Ns[0] / Ns[1];
  State.counters["list_ms"] = Ns[0] / 1e6;
  State.counters["statement_ms"] = Ns[1] / 1e6;
  State.counters["packet_bytes"] = PacketBytes;
}
BENCHMARK(BM_ProductListWhole)->Iterations(15)->Unit(benchmark::kMillisecond);

void BM_ProductListFirstPage(benchmark::State& State) {
  const bench::TOnOneCore OneCore;
  TListServer Server;
  TListClient Client(Server.Container.BoundPort());
  TListStatement Statement;
  Client.Channel().WrittenBytes = Client.Channel().ReadBytes = 0;
  if (Client.Get(kListPage, kListReset).RecsOut != kListPage) {
    State.SkipWithError("the first page did not hold 50 products");
    return;
  }
  const std::size_t RequestBytes = Client.Channel().WrittenBytes;
  const std::size_t ReplyBytes = Client.Channel().ReadBytes;

  asio::io_context Io;
  asio::ip::tcp::socket EchoClient(Io);
  std::vector<double> Ns;
  {
    bench::TEchoServer Echo(Io, EchoClient, RequestBytes, ReplyBytes);
    EchoClient.set_option(asio::ip::tcp::no_delay(true));
    const std::vector<std::uint8_t> Request(RequestBytes, '.');
    std::vector<std::uint8_t> Reply(ReplyBytes);
    Ns = bench::FastestInterleaved(
        State,
        {[&] { benchmark::DoNotOptimize(Client.Get(kListPage, kListReset).RecsOut); },
         [&] { bench::EchoRoundTrip(EchoClient, Request, Reply); },
         [&] { benchmark::DoNotOptimize(Statement.Step(kListPage)); }},
        2);
  }
  State.counters["x_parts"] = Ns[0] / (Ns[1] + Ns[2]);
  State.counters["page_us"] = Ns[0] / 1e3;
  State.counters["echo_us"] = Ns[1] / 1e3;
  State.counters["statement_us"] = Ns[2] / 1e3;
  State.counters["request_bytes"] = static_cast<double>(RequestBytes);
  State.counters["reply_bytes"] = static_cast<double>(ReplyBytes);
}
BENCHMARK(BM_ProductListFirstPage)->Iterations(5)->Unit(benchmark::kMillisecond);

// --- The server in a process of its own ----------------------------------------------------

// A client of the server process once it listens; null when it never did.
std::unique_ptr<TListClient> ConnectWhenListening(std::uint16_t Port) {
  const auto Deadline = std::chrono::steady_clock::now() + kListServerStart;
  while (std::chrono::steady_clock::now() < Deadline) {
    try {
      return std::make_unique<TListClient>(Port);
    } catch (const std::exception&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  return nullptr;
}

void BM_ProductListServerMemory(benchmark::State& State) {
  static_cast<void>(ListFolder());  // made before the server starts
  for (auto _ : State) {
    const std::uint16_t Port = bench::FreePort();
    bench::TServerProcess Server(ListFolder().Path(), Port);
    std::unique_ptr<TListClient> Client = ConnectWhenListening(Port);
    if (Server.Pid() <= 0 || !Client) {
      State.SkipWithError("the server process did not start");
      return;
    }
    // The connection's instance exists once a provider method ran; then the peak so far.
    Client->Names();
    const double PeakBefore = bench::StatusKiB(Server.Pid(), "VmHWM");
    const TDBXRecordsReply Reply = Client->Get(kListAll, 0);
    const double PeakAfter = bench::StatusKiB(Server.Pid(), "VmHWM");
    const auto PacketBytes = static_cast<double>(std::get<std::vector<std::uint8_t>>(Reply.Data.Value).size());
    State.SetIterationTime(1);
    State.counters["packet_kib"] = PacketBytes / 1024;
    State.counters["peak_growth_kib"] = PeakAfter - PeakBefore;
    State.counters["x_packet"] = (PeakAfter - PeakBefore) * 1024 / PacketBytes;
    Client.reset();
  }
}
BENCHMARK(BM_ProductListServerMemory)->Iterations(1)->UseManualTime();

}  // namespace
}  // namespace tavrin
