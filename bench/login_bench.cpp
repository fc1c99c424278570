// What a login over the network costs against the bare work it needs: the real server
// container (transport, registry, TvxServerMethods8765) on a loopback port, a client
// executing a prepared FazerLogin, against the sum of an echo round trip of the same
// request size and the login statement run in process on an already open SQLite
// connection with the statement prepared. On the demo data, whose user table is
// protected by a password, and on a copy without protection. Then 50 clients logging
// in at once, each on its own connection and thread, against the same 50 clients
// calling VersaoServidor (the server without the database) in the same run.

#include <benchmark/benchmark.h>

#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench_demo_folder.h"
#include "counting_channel.h"
#include "client/connection.h"
#include "interleaved_ratio.h"
#include "loopback_echo.h"
#include "one_core.h"
#include "demo_data/demo_data.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "engine/table_protection.h"
#include "product/server_container.h"
#include "transport/tcp_client_channel.h"

namespace tavrin {
namespace {

constexpr char16_t kLoginAlias[] = u"TvxServerMethods8765.FazerLogin";
constexpr char16_t kVersionAlias[] = u"TvxServerMethods8765.VersaoServidor";
constexpr std::int32_t kServerVersion = 2;
constexpr char16_t kServerMethodType[] = u"Corvane.ServerMethod";
constexpr char16_t kUser[] = u"maria";
constexpr char16_t kPassword[] = u"maria2024";
constexpr std::int32_t kMariasLevel = 3;
constexpr int kConcurrentClients = 50;
constexpr int kCallsPerClient = 40;

// A demo data folder of its own, removed afterwards; without the user table's
// protection when asked.
class TDemoFolder : public TBenchDemoFolder {
 public:
  explicit TDemoFolder(bool Protected = true) : TBenchDemoFolder("tavrin-login-bench-") {
    if (!Protected) {
      TSqliteConnection Connection(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
      UnprotectTable(Connection, "tabuser");
    }
  }
};

// The product's server on the demo folder, on an ephemeral port.
struct TProductServer {
  explicit TProductServer(bool Protected = true) : Folder(Protected) {}
  TDemoFolder Folder;
  TBenchProductServer Serving{Folder.Path()};
  TServerContainer1& Container = Serving.Container;
};

// A client with FazerLogin and VersaoServidor prepared.
class TLoginClient {
 public:
  explicit TLoginClient(std::uint16_t Port) : FTcp("127.0.0.1", Port), FChannel(FTcp), FConnection(FChannel) {
    FConnection.Connect({});
    FLogin = FConnection.Prepare(kServerMethodType, kLoginAlias).CommandHandle;
    FVersion = FConnection.Prepare(kServerMethodType, kVersionAlias).CommandHandle;
  }
  ~TLoginClient() {
    FConnection.CommandClose(FLogin);
    FConnection.CommandClose(FVersion);
    FConnection.Disconnect();
  }
  std::int32_t Login() {
    TDBXRowBuffer& Row = FConnection.BeginParameters();
    Row.WriteString(kUser);
    Row.WriteString(kPassword);
    Row.WriteNull();
    FConnection.Execute(FLogin);
    FConnection.ParameterRow().GoToField(2);
    return FConnection.ParameterRow().ReadInt32();
  }
  std::int32_t Version() {
    FConnection.BeginParameters().WriteNull();
    FConnection.Execute(FVersion);
    FConnection.ParameterRow().GoToField(0);
    return FConnection.ParameterRow().ReadInt32();
  }
  bench::TCountingChannel& Channel() { return FChannel; }

 private:
  TDBXTcpClientChannel FTcp;
  bench::TCountingChannel FChannel;
  TDBXClientConnection FConnection;
  std::int32_t FLogin = 0;
  std::int32_t FVersion = 0;
};

// The bare database work of a login: the login statement, prepared once on a connection
// kept open, bound, stepped to its first row, read and reset.
class TBareLoginStatement {
 public:
  explicit TBareLoginStatement(const std::string& DatabaseFile)
      : FConnection(DatabaseFile, TSqliteConnection::TOpenMode::ExistingFile) {
    std::string_view Tail;
    if (FStatement.Prepare(FConnection, TServerMethodsTexts::kLoginStatement, Tail) != 0) {
      throw std::runtime_error(FConnection.ErrorMessage());
    }
  }
  std::int64_t Run() {
    FStatement.Bind(1, std::string("MARIA"));
    FStatement.Bind(2, std::string("MARIA2024"));
    std::int64_t Level = 0;
    if (FStatement.Step()) {
      const TFieldValue Value = FStatement.ColumnValue(0);
      benchmark::DoNotOptimize(FStatement.ColumnValue(1));
      benchmark::DoNotOptimize(FStatement.ColumnValue(2));
      if (const auto* Whole = std::get_if<std::int64_t>(&Value)) Level = *Whole;
    }
    FStatement.Reset();
    return Level;
  }

 private:
  TSqliteConnection FConnection;
  TSqliteStatement FStatement;
};

void BM_LoginRoundTrip(benchmark::State& State, bool Protected) {
  const bench::TOnOneCore OneCore;
  TProductServer Server(Protected);
  TLoginClient Client(Server.Container.BoundPort());
  Client.Channel().WrittenBytes = 0;
  if (Client.Login() != kMariasLevel) {
    State.SkipWithError("the login answered something else");
    return;
  }
  const std::size_t RequestBytes = Client.Channel().WrittenBytes;
  TBareLoginStatement Statement(Server.Folder.DatabaseFile());
  if (Statement.Run() != kMariasLevel) {
    State.SkipWithError("the bare statement answered something else");
    return;
  }

  // For the record: the whole FazerLogin in process, on an instance and a session of
  // its own (the engine with its kept connection, and the log lines).
  TSession LocalSession;
  const TServerMethodsServices Local{Server.Serving.Log, Server.Serving.Services.DataFolder, LocalSession, Server.Serving.Services.FileExists};
  TvxServerMethods8765 Instance(Local);

  asio::io_context Io;
  asio::ip::tcp::socket EchoClient(Io);
  std::vector<double> Ns;
  {
    bench::TEchoServer Echo(Io, EchoClient, RequestBytes);
    EchoClient.set_option(asio::ip::tcp::no_delay(true));
    const std::vector<std::uint8_t> Request(RequestBytes, '.');
    std::vector<std::uint8_t> Reply(RequestBytes);
    Ns = bench::FastestInterleaved(
        State, {[&] { benchmark::DoNotOptimize(Client.Login()); },
                [&] { bench::EchoRoundTrip(EchoClient, Request, Reply); },
                [&] { benchmark::DoNotOptimize(Statement.Run()); },
                [&] { benchmark::DoNotOptimize(Instance.FazerLogin(kUser, kPassword)); }});
  }
  State.counters["x_parts"] = Ns[0] / (Ns[1] + Ns[2]);
  State.counters["login_ns"] = Ns[0];
  State.counters["echo_ns"] = Ns[1];
  State.counters["statement_ns"] = Ns[2];
  State.counters["in_process_ns"] = Ns[3];
  State.counters["request_bytes"] = static_cast<double>(RequestBytes);
}
BENCHMARK_CAPTURE(BM_LoginRoundTrip, demo_data, true)->Iterations(30);
BENCHMARK_CAPTURE(BM_LoginRoundTrip, unprotected, false)->Iterations(30);

// Seconds for every client to make kCallsPerClient calls of Call at once, each on its
// own thread.
double CallAtOnce(std::vector<std::unique_ptr<TLoginClient>>& Clients,
                  std::int32_t (TLoginClient::*Call)(), std::int32_t Expected, std::atomic<int>& Wrong) {
  std::atomic<bool> Go{false};
  std::vector<std::thread> Threads;
  for (auto& Client : Clients) {
    Threads.emplace_back([&, Caller = Client.get()] {
      while (!Go.load()) std::this_thread::yield();
      for (int i = 0; i < kCallsPerClient; ++i) {
        if ((Caller->*Call)() != Expected) ++Wrong;
      }
    });
  }
  const auto Start = std::chrono::steady_clock::now();
  Go = true;
  for (auto& Thread : Threads) Thread.join();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// Each iteration: 50 connected clients log in kCallsPerClient times each, all at once,
// then call VersaoServidor as many times. The fastest round of each counts, as in the
// ratio benchmarks.
void BM_ConcurrentLogins(benchmark::State& State) {
  TProductServer Server;
  const std::uint16_t Port = Server.Container.BoundPort();
  std::vector<std::unique_ptr<TLoginClient>> Clients;
  for (int i = 0; i < kConcurrentClients; ++i) Clients.push_back(std::make_unique<TLoginClient>(Port));
  std::atomic<int> Wrong{0};
  double LoginSeconds = std::numeric_limits<double>::infinity();
  double VersionSeconds = std::numeric_limits<double>::infinity();
  for (auto _ : State) {
    const double Logins = CallAtOnce(Clients, &TLoginClient::Login, kMariasLevel, Wrong);
    const double Versions = CallAtOnce(Clients, &TLoginClient::Version, kServerVersion, Wrong);
    State.SetIterationTime(Logins);
    LoginSeconds = std::min(LoginSeconds, Logins);
    VersionSeconds = std::min(VersionSeconds, Versions);
  }
  if (Wrong > 0) State.SkipWithError("a call answered something else");
  constexpr double kCalls = kConcurrentClients * kCallsPerClient;
  State.counters["logins_per_second"] = kCalls / LoginSeconds;
  State.counters["versions_per_second"] = kCalls / VersionSeconds;
  State.counters["x_version"] = VersionSeconds / LoginSeconds;
}
BENCHMARK(BM_ConcurrentLogins)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrin
