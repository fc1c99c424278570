// What applying changes costs: a delta of 1,000 modified products (the sale price of
// each) sent through the network with AS_ApplyUpdates to the real server container,
// against the resolver's own 1,000 UPDATE statements (the where clause on all old
// values), prepared once and run in one transaction directly on SQLite, on the same
// file, in the same journal mode, with synchronous=FULL. The deltas are built before
// the timing; successive runs of either move every price between two values, so each
// run's old values are the last run's new ones.

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bench_demo_folder.h"
#include "client/connection.h"
#include "client/provider_client.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/delta_writer.h"
#include "datapacket/packet_values.h"
#include "engine/sqlite_connection.h"
#include "interleaved_ratio.h"
#include "one_core.h"
#include "product/server_container.h"
#include "transport/tcp_client_channel.h"

namespace tavrin {
namespace {

constexpr int kApplyProducts = 1000;
constexpr std::array<double, 2> kApplyPrices = {1.25, 2.5};
constexpr char16_t kApplyClass[] = u"TvxServerMethods8765";
constexpr char16_t kApplyProvider[] = u"dsEst1";
// The statement the resolver makes for a changed sale price of the product list.
constexpr char kResolverUpdate[] =
    "update \"tabest1\"  set\r\n \"precovenda\" = ?\r\nwhere\r\n \"codigo\" = ? and\r\n \"produto\" = ? and\r\n"
    " \"precocusto\" = ? and\r\n \"precovenda\" = ? and\r\n \"quantidade\" = ?";

class TApplyFolder : public TBenchDemoFolder {
 public:
  TApplyFolder() : TBenchDemoFolder("tavrin-apply-bench-") {
    TSqliteConnection Connection(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
    Connection.Execute(
        "delete from tabest1;"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        std::to_string(kApplyProducts) +
        ") insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo)"
        " select i, 'Produto ' || i, round(i / 7.0, 2), 1.25, i % 300, 0 from n");
  }
};

struct TApplyServer {
  TApplyFolder Folder;
  TBenchProductServer Serving{Folder.Path()};
  TServerContainer1& Container = Serving.Container;
};

struct TProductRow {
  std::int64_t Code;
  std::string Name;
  double Cost;
  double Quantity;
};

// The resolver's statements, prepared once on an open connection.
class TBareUpdates {
 public:
  TBareUpdates(const std::string& File, std::vector<TProductRow> Rows)
      : FConnection(File, TSqliteConnection::TOpenMode::ExistingFile), FRows(std::move(Rows)) {
    FConnection.Execute("pragma synchronous = full");
    std::string_view Tail;
    FStatement.Prepare(FConnection, kResolverUpdate, Tail);
  }
  // Moves every price from From to To in one transaction; returns the rows changed.
  std::int64_t Run(double From, double To) {
    sqlite3_stmt* Handle = FStatement.Handle();
    std::int64_t Changed = 0;
    FConnection.Execute("begin immediate");
    for (const TProductRow& Row : FRows) {
      sqlite3_reset(Handle);
      sqlite3_bind_double(Handle, 1, To);
      sqlite3_bind_int64(Handle, 2, Row.Code);
      sqlite3_bind_text(Handle, 3, Row.Name.data(), static_cast<int>(Row.Name.size()), SQLITE_STATIC);
      sqlite3_bind_double(Handle, 4, Row.Cost);
      sqlite3_bind_double(Handle, 5, From);
      sqlite3_bind_double(Handle, 6, Row.Quantity);
      if (sqlite3_step(Handle) == SQLITE_DONE) Changed += sqlite3_changes(FConnection.Handle());
    }
    sqlite3_reset(Handle);
    FConnection.Execute("commit");
    return Changed;
  }

 private:
  TSqliteConnection FConnection;
  TSqliteStatement FStatement;
  std::vector<TProductRow> FRows;
};

void BM_ApplyThousandPrices(benchmark::State& State) {
  const bench::TOnOneCore OneCore;
  TApplyServer Server;
  TDBXTcpClientChannel Channel("127.0.0.1", Server.Container.BoundPort());
  TDBXClientConnection Connection(Channel);
  Connection.Connect({});
  TDBXProviderClient Provider(Connection, kApplyClass);
  const TDBXRecordsReply Reply = Provider.GetRecords(kApplyProvider, -1, 0);
  const TDSBase List(std::get<std::vector<std::uint8_t>>(Reply.Data.Value));
  const TPacketLevel& Level = List.Level();
  const TPacketColumn& Price = *Level.FindColumn("precovenda");

  // Deltas[i]: every price from kApplyPrices[i] to the other, built on the list as it
  // would stand with kApplyPrices[i].
  std::vector<std::uint8_t> Deltas[2];
  std::vector<TProductRow> Rows;
  for (std::size_t From = 0; From < 2; ++From) {
    std::vector<std::uint8_t> Bytes;
    TDSWriter Writer;
    CheckWriter(Writer, Writer.BeginPacket(1, static_cast<std::int32_t>(List.DescriptorCount())));
    PutLevelColumns(Writer, Level, true);
    const TFixedValue Old = FloatValue(kApplyPrices[From]);
    const TFixedValue New = FloatValue(kApplyPrices[1 - From]);
    for (TDSCursor Row(List); !Row.Eof(); Row.Next()) {
      for (std::uint8_t Status : {std::uint8_t{0}, std::uint8_t{1}}) {
        CheckWriter(Writer, Writer.PutValue(0, 1, &Status));
        for (const TPacketColumn& Column : Level.Columns) {
          if (Status == 0) {
            if (&Column == &Price) {
              CheckWriter(Writer, Writer.PutValue(0, Old.Size(), Old.Data()));
            } else {
              PutPacketValue(Writer, Row.Value(Column));
            }
          } else if (&Column == &Price) {
            CheckWriter(Writer, Writer.PutValue(0, New.Size(), New.Data()));
          } else {
            CheckWriter(Writer, Writer.PutValue(2, 0, nullptr));
          }
        }
      }
      if (From == 0) {
        const auto Value = [&](const char* Name) { return Row.Value(*Level.FindColumn(Name)).Data; };
        Rows.push_back({*ReadInteger(Level.FindColumn("codigo")->TypeWord, Value("codigo")),
                        *ReadText(Level.FindColumn("produto")->TypeWord, Value("produto")),
                        *ReadFloat(Price.TypeWord, Value("precocusto")),
                        *ReadFloat(Price.TypeWord, Value("quantidade"))});
      }
    }
    CheckWriter(Writer, Writer.TakePacket(Bytes));
    Deltas[From] = std::move(Bytes);
  }
  TBareUpdates Bare(Server.Folder.DatabaseFile(), std::move(Rows));

  std::size_t Current = 0;  // which of kApplyPrices every price holds now
  std::int64_t Failures = 0;
  const std::vector<double> Ns = bench::FastestInterleaved(
      State,
      {[&] {
         std::int32_t Errors = 0;
         const TDSVariant Answer = Provider.ApplyUpdates(kApplyProvider, Deltas[Current], 0, Errors);
         Failures += Errors + (Answer.IsNull() ? 0 : 1);
         Current = 1 - Current;
       },
       [&] {
         if (Bare.Run(kApplyPrices[Current], kApplyPrices[1 - Current]) != kApplyProducts) ++Failures;
         Current = 1 - Current;
       }},
      1);
  if (Failures != 0) State.SkipWithError("a run did not change every product");
  State.counters["x_bare_updates"] = Ns[0] / Ns[1];
  State.counters["apply_ms"] = Ns[0] / 1e6;
  State.counters["bare_ms"] = Ns[1] / 1e6;
  State.counters["delta_bytes"] = static_cast<double>(Deltas[0].size());
  Provider.Close();
  Connection.Disconnect();
}
BENCHMARK(BM_ApplyThousandPrices)->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrin
