// What a login over the network costs against its parts, on the demo data: the real
// server container (transport, registry, TvxServerMethods8765) on a loopback port, a
// client executing a prepared FazerLogin, against the sum of an echo round trip of
// the same request size and one in-process FazerLogin on the same SQLite file (the
// login query with its log lines). Then 50 clients logging in at once, each on its own
// connection and thread, for the logins per second the server sustains.

#include <benchmark/benchmark.h>

#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "counting_channel.h"
#include "client/connection.h"
#include "interleaved_ratio.h"
#include "loopback_echo.h"
#include "demo_data/demo_data.h"
#include "product/server_container.h"
#include "transport/tcp_client_channel.h"

namespace tavrin {
namespace {

constexpr char16_t kLoginAlias[] = u"TvxServerMethods8765.FazerLogin";
constexpr char16_t kServerMethodType[] = u"Corvane.ServerMethod";
constexpr char16_t kUser[] = u"maria";
constexpr char16_t kPassword[] = u"maria2024";
constexpr std::int32_t kMariasLevel = 3;
constexpr int kConcurrentClients = 50;
constexpr int kLoginsPerClient = 40;

// The log lines go nowhere: the benchmark measures the server, not a terminal.
class TDiscardingLog : public IActivityLogWriter {
 public:
  void Append(std::string_view) noexcept override {}
};

// A demo data folder of its own, removed afterwards.
class TDemoFolder {
 public:
  TDemoFolder() : FPath(std::filesystem::temp_directory_path() / ("tavrin-login-bench-" + std::to_string(std::random_device{}()))) {
    CreateDemoData(FPath.string());
  }
  ~TDemoFolder() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
  }
  std::string Path() const { return FPath.string(); }

 private:
  std::filesystem::path FPath;
};

// The product's server on the demo folder, on an ephemeral port.
struct TProductServer {
  TDemoFolder Folder;
  TDiscardingLog Log;
  TSession DatabaseSession;
  const std::string DataFolder = Folder.Path();
  TServerMethodsServices Services{Log, [this] { return DataFolder; }, DatabaseSession,
                                  [](const std::string&) { return false; }};
  TServerContainer1 Container{Services, {.Port = 0}};
};

// A client with FazerLogin prepared.
class TLoginClient {
 public:
  explicit TLoginClient(std::uint16_t Port) : FTcp("127.0.0.1", Port), FChannel(FTcp), FConnection(FChannel) {
    FConnection.Connect({});
    FHandle = FConnection.Prepare(kServerMethodType, kLoginAlias).CommandHandle;
  }
  ~TLoginClient() {
    FConnection.CommandClose(FHandle);
    FConnection.Disconnect();
  }
  std::int32_t Login() {
    TDBXRowBuffer& Row = FConnection.BeginParameters();
    Row.WriteString(kUser);
    Row.WriteString(kPassword);
    Row.WriteNull();
    FConnection.Execute(FHandle);
    FConnection.ParameterRow().GoToField(2);
    return FConnection.ParameterRow().ReadInt32();
  }
  bench::TCountingChannel& Channel() { return FChannel; }

 private:
  TDBXTcpClientChannel FTcp;
  bench::TCountingChannel FChannel;
  TDBXClientConnection FConnection;
  std::int32_t FHandle = 0;
};

void BM_LoginRoundTrip(benchmark::State& State) {
  TProductServer Server;
  TLoginClient Client(Server.Container.BoundPort());
  Client.Channel().WrittenBytes = 0;
  if (Client.Login() != kMariasLevel) {
    State.SkipWithError("the login answered something else");
    return;
  }
  const std::size_t RequestBytes = Client.Channel().WrittenBytes;

  // The same login in process, on an instance and a session of its own.
  TSession LocalSession;
  const TServerMethodsServices Local{Server.Log, Server.Services.DataFolder, LocalSession, Server.Services.FileExists};
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
                [&] { benchmark::DoNotOptimize(Instance.FazerLogin(kUser, kPassword)); }});
  }
  State.counters["x_parts"] = Ns[0] / (Ns[1] + Ns[2]);
  State.counters["login_ns"] = Ns[0];
  State.counters["echo_ns"] = Ns[1];
  State.counters["in_process_ns"] = Ns[2];
  State.counters["request_bytes"] = static_cast<double>(RequestBytes);
}
BENCHMARK(BM_LoginRoundTrip)->Iterations(30);

// Each iteration: 50 clients connect at once, each logs in kLoginsPerClient times.
void BM_ConcurrentLogins(benchmark::State& State) {
  TProductServer Server;
  const std::uint16_t Port = Server.Container.BoundPort();
  std::atomic<int> Wrong{0};
  std::int64_t Logins = 0;
  double Seconds = 0;
  for (auto _ : State) {
    std::vector<std::unique_ptr<TLoginClient>> Clients;
    for (int i = 0; i < kConcurrentClients; ++i) Clients.push_back(std::make_unique<TLoginClient>(Port));
    std::atomic<bool> Go{false};
    std::vector<std::thread> Threads;
    for (auto& Client : Clients) {
      Threads.emplace_back([&, Login = Client.get()] {
        while (!Go.load()) std::this_thread::yield();
        for (int i = 0; i < kLoginsPerClient; ++i) {
          if (Login->Login() != kMariasLevel) ++Wrong;
        }
      });
    }
    const auto Start = std::chrono::steady_clock::now();
    Go = true;
    for (auto& Thread : Threads) Thread.join();
    const double Elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    State.SetIterationTime(Elapsed);
    Seconds += Elapsed;
    Logins += kConcurrentClients * kLoginsPerClient;
  }
  if (Wrong > 0) State.SkipWithError("a login answered something else");
  State.counters["logins_per_second"] = static_cast<double>(Logins) / Seconds;
}
BENCHMARK(BM_ConcurrentLogins)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrin
