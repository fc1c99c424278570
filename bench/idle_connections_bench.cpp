// What idle connections cost: 1,000 clients connected to a real transport with the real
// request loop, each having made one request, then left alone for 10 seconds.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <asio.hpp>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dbxstream/command_handler.h"
#include "server/requests/server_handler_chain.h"
#include "transport/tcp_server_transport.h"

namespace tavrin {
namespace {

constexpr int kIdleConnections = 1000;
constexpr auto kIdleTime = std::chrono::seconds(10);
constexpr char kConnectRequest[] = R"({"method":"connect","params":[{}]})";

// The end of the chain: every message passes through unchanged.
class TPassThroughLink : public TDBXConnectionHandler {
 public:
  using TDBXConnectionHandler::TDBXConnectionHandler;
};

double ResidentKiB() {
  std::ifstream Statm("/proc/self/statm");
  long Pages = 0;
  long Resident = 0;
  Statm >> Pages >> Resident;
  return static_cast<double>(Resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

double CpuSeconds() {
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  const auto Seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime);
}

void RaiseDescriptorLimit() {
  rlimit Limit{};
  getrlimit(RLIMIT_NOFILE, &Limit);
  Limit.rlim_cur = Limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &Limit);
}

void BM_IdleConnections1000(benchmark::State& State) {
  RaiseDescriptorLimit();
  TDBXContext Context;
  TDSTCPServerTransport Transport([&Context](const TDSTCPConnectionInfo& Info) {
    TDSTCPConnectionChain Chain;
    Chain.Handler = BuildServerHandlerChain(
        Info.Channel, Context, defaults::kBufferKBSize,
        [](TDBXContext& C, TDbxChannel&, std::unique_ptr<TDBXConnectionHandler> Output) {
          return std::make_unique<TPassThroughLink>(C, std::move(Output));
        },
        nullptr);
    return Chain;
  });
  Transport.SetPort(0);
  Transport.Start();

  for (auto _ : State) {
    const double ResidentBefore = ResidentKiB();
    asio::io_context Io;
    std::vector<asio::ip::tcp::socket> Clients;
    Clients.reserve(kIdleConnections);
    const asio::ip::tcp::endpoint Server(asio::ip::address_v4::loopback(), Transport.BoundPort());
    std::string Reply(64, '\0');
    for (int i = 0; i < kIdleConnections; ++i) {
      Clients.emplace_back(Io);
      Clients.back().connect(Server);
      asio::write(Clients.back(), asio::buffer(kConnectRequest, sizeof kConnectRequest - 1));
      // The reply proves the connection's chain is built and its buffers in use.
      Clients.back().read_some(asio::buffer(Reply));
    }
    const double ResidentAfter = ResidentKiB();

    const double CpuBefore = CpuSeconds();
    std::this_thread::sleep_for(kIdleTime);
    const double CpuUsed = CpuSeconds() - CpuBefore;

    State.SetIterationTime(std::chrono::duration<double>(kIdleTime).count());
    State.counters["cpu_percent"] = 100.0 * CpuUsed / std::chrono::duration<double>(kIdleTime).count();
    State.counters["kib_per_connection"] = (ResidentAfter - ResidentBefore) / kIdleConnections;
    State.counters["connections"] = static_cast<double>(Transport.ConnectionCount());
  }
  Transport.Stop();
}
BENCHMARK(BM_IdleConnections1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tavrin
