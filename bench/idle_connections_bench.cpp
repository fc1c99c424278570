// What idle connections cost the server: the tavrin program in a process of its own over
// demo data (the real transport, each connection's whole handler chain with its command
// link and session, the product's events), 1,000 clients that each logged in, as every
// client of the shop's apps does first (so each holds its instance of the product's
// class and its thread's database connection), then left alone for 10 seconds. The
// server's own resident memory and CPU time are read from its /proc entries, so the
// clients' sockets and this process's heap stay out of the figures.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <asio.hpp>
#include <chrono>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "bench_demo_folder.h"
#include "server_process.h"

namespace tavrin {
namespace {

constexpr int kIdleConnections = 1000;
constexpr auto kIdleTime = std::chrono::seconds(10);
constexpr auto kIdleServerStart = std::chrono::seconds(20);
// A login of the demo user admin on a fresh connection, and the end of its last reply.
constexpr char kIdleLoginRequests[] =
    "{\"method\":\"connect\",\"params\":[{}]}"
    "{\"method\":\"prepare\",\"params\":[-1,false,\"Corvane.ServerMethod\",\"TvxServerMethods8765.FazerLogin\"]}"
    "{\"method\":\"execute\",\"params\":[{\"handle\":[0]},{\"data\":[14,\x25" "admin\x26" "zul123\xC0]}]}";
constexpr std::string_view kIdleLoginReplyEnd = "[4,\xC0\xC0" "a\x09]}]}";

void RaiseDescriptorLimit() {
  rlimit Limit{};
  getrlimit(RLIMIT_NOFILE, &Limit);
  Limit.rlim_cur = Limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &Limit);
}

// Connects Client to Port and logs in; false when the server did not answer the login.
bool LogIn(asio::ip::tcp::socket& Client, std::uint16_t Port) {
  std::error_code Error;
  Client.connect(asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), Port), Error);
  if (Error) return false;
  asio::write(Client, asio::buffer(kIdleLoginRequests, sizeof kIdleLoginRequests - 1), Error);
  std::string Reply;
  char Piece[512];
  while (!Error && !Reply.ends_with(kIdleLoginReplyEnd)) {
    Reply.append(Piece, Client.read_some(asio::buffer(Piece), Error));
  }
  return !Error;
}

void BM_IdleConnections1000(benchmark::State& State) {
  RaiseDescriptorLimit();
  TBenchDemoFolder Folder("tavrin-idle-bench-");
  for (auto _ : State) {
    const std::uint16_t Port = bench::FreePort();
    // One client more than measured: the first one's login brings up what every later
    // connection shares (the engine, the registry's classes), outside the figure.
    bench::TServerProcess Server(Folder.Path(), Port, {"--max-connections", "0"});
    asio::io_context Io;
    std::vector<asio::ip::tcp::socket> Clients;
    Clients.reserve(kIdleConnections + 1);
    Clients.emplace_back(Io);
    const auto Deadline = std::chrono::steady_clock::now() + kIdleServerStart;
    while (Server.Pid() > 0 && !LogIn(Clients.back(), Port) && std::chrono::steady_clock::now() < Deadline) {
      Clients.back() = asio::ip::tcp::socket(Io);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const double ResidentBefore = bench::StatusKiB(Server.Pid(), "VmRSS");
    bool Served = ResidentBefore >= 0;
    for (int i = 0; Served && i < kIdleConnections; ++i) {
      Clients.emplace_back(Io);
      Served = LogIn(Clients.back(), Port);
    }
    if (!Served) {
      State.SkipWithError("the server process did not serve every login");
      return;
    }
    const double ResidentAfter = bench::StatusKiB(Server.Pid(), "VmRSS");

    const double CpuBefore = bench::CpuSecondsOf(Server.Pid());
    std::this_thread::sleep_for(kIdleTime);
    const double CpuUsed = bench::CpuSecondsOf(Server.Pid()) - CpuBefore;

    State.SetIterationTime(std::chrono::duration<double>(kIdleTime).count());
    State.counters["cpu_percent"] = 100.0 * CpuUsed / std::chrono::duration<double>(kIdleTime).count();
    State.counters["kib_per_connection"] = (ResidentAfter - ResidentBefore) / kIdleConnections;
    State.counters["connections"] = static_cast<double>(Clients.size() - 1);
  }
}
BENCHMARK(BM_IdleConnections1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tavrin
