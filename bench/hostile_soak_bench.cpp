// What hostile clients do to an honest one: the tavrin program in a process of its own
// over demo data, 20 hostile clients, each from a loopback address of its own
// (127.0.0.2 and up), mixing the inputs that try to make the server hold memory or
// threads (an announced block never sent, a huge row block, a huge long value, huge
// metadata, a huge connect, a huge method name, a thousand executes left open, failed
// logins), beside one honest client on 127.0.0.1 that logs in and fetches the whole
// product list in a loop. Figures: the server's peak resident memory (target < 1 GiB),
// the honest client's wrong or failed answers (target 0) and its login p99 (target
// < 100 ms). TAVRIN_SOAK_SECONDS sets how long it runs (120 by default).

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "bench_demo_folder.h"
#include "client/connection.h"
#include "client/provider_client.h"
#include "server_process.h"
#include "transport/tcp_client_channel.h"

namespace tavrin {
namespace {

constexpr int kSoakHostiles = 20;
constexpr auto kSoakServerStart = std::chrono::seconds(20);
constexpr std::size_t kSoakMiB = 1024 * 1024;
constexpr char kSoakConnect[] = R"({"method":"connect","params":[{}]})";
constexpr char kSoakLoginExecute[] = R"({"method":"execute","params":[{"fields":[-1,false,"Corvane.ServerMethod","TvxServerMethods8765.FazerLogin"]},{"data":[)";

std::chrono::seconds SoakDuration() {
  const char* Text = std::getenv("TAVRIN_SOAK_SECONDS");
  const int Seconds = Text != nullptr ? std::atoi(Text) : 0;
  return std::chrono::seconds(Seconds > 0 ? Seconds : 120);
}

// The hostile inputs, each a whole byte string sent on a fresh connection.
std::vector<std::string> SoakHostileInputs() {
  const auto Execute = [](const std::string& Row) {
    return std::string(kSoakLoginExecute) + std::to_string(Row.size()) + "," + Row + "]}]}";
  };
  std::vector<std::string> Inputs;
  // A block announced and never sent.
  Inputs.push_back(std::string(kSoakConnect) + kSoakLoginExecute + "67107864,");
  // A row block past what one block may hold.
  Inputs.push_back(kSoakConnect + Execute(std::string(65 * kSoakMiB, 'p')));
  // A long value of 80 MiB, its pieces sent unasked.
  std::string Long = kSoakConnect + Execute(std::string("\x50\xFF\xFF", 3) + std::string(0xFFFF, 'x') + "\xC0\xC0\xC0");
  for (int i = 0; i < 10; ++i) Long += R"({"data":[8388608  ,)" + std::string(8 * kSoakMiB, 'x') + "]}";
  Inputs.push_back(Long + R"({"data":[0        ,]})");
  // Metadata of 65 MiB.
  const std::string Json = R"({"k":")" + std::string(65 * kSoakMiB, 'm') + R"("})";
  Inputs.push_back(std::string(kSoakConnect) + R"({"metadata":[)" + std::to_string(Json.size()) + "," + Json + "]}");
  // A connect of 200,000 properties.
  std::string Connect = R"({"method":"connect","params":[{)";
  for (int i = 0; i < 200'000; ++i) Connect += (i == 0 ? "\"p" : ",\"p") + std::to_string(i) + R"(":"v")";
  Inputs.push_back(Connect + "}]}");
  // A method name of 30 Mi characters.
  Inputs.push_back(std::string(kSoakConnect) + R"({"method":"prepare","params":[-1,false,"Corvane.ServerMethod","DSAdmin.)" +
                   std::string(30 * kSoakMiB, 'n') + R"("]})");
  // A thousand executes left open.
  std::string Executes = kSoakConnect;
  for (int i = 0; i < 1000; ++i) Executes += Execute("\x25" "admin\x26" "zul123\xC0");
  Inputs.push_back(Executes);
  // Failed logins.
  std::string Failed = kSoakConnect;
  for (int i = 0; i < 20; ++i) Failed += Execute("\x25" "admin\x26" "wrong1\xC0");
  Inputs.push_back(Failed);
  return Inputs;
}

// Sends Bytes from Address to Port on a fresh connection, reads for a moment, and
// closes. Every wait is bounded: a server that stops reading ends the attempt.
void SoakSendFrom(const std::string& Address, std::uint16_t Port, const std::string& Bytes) {
  const int Socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (Socket < 0) return;
  timeval Patience{2, 0};
  setsockopt(Socket, SOL_SOCKET, SO_SNDTIMEO, &Patience, sizeof Patience);
  setsockopt(Socket, SOL_SOCKET, SO_RCVTIMEO, &Patience, sizeof Patience);
  sockaddr_in Local{};
  Local.sin_family = AF_INET;
  inet_pton(AF_INET, Address.c_str(), &Local.sin_addr);
  sockaddr_in Server{};
  Server.sin_family = AF_INET;
  Server.sin_port = htons(Port);
  inet_pton(AF_INET, "127.0.0.1", &Server.sin_addr);
  if (bind(Socket, reinterpret_cast<sockaddr*>(&Local), sizeof Local) == 0 &&
      connect(Socket, reinterpret_cast<sockaddr*>(&Server), sizeof Server) == 0) {
    std::size_t Sent = 0;
    while (Sent < Bytes.size()) {
      const ssize_t Now = send(Socket, Bytes.data() + Sent, Bytes.size() - Sent, MSG_NOSIGNAL);
      if (Now <= 0) break;
      Sent += static_cast<std::size_t>(Now);
    }
    char Reply[4096];
    while (recv(Socket, Reply, sizeof Reply, 0) > 0) {
    }
  }
  close(Socket);
}

// The honest client's round: a login on a fresh connection, timed, then the whole
// product list. False when an answer is wrong or missing.
bool SoakHonestRound(std::uint16_t Port, const std::vector<std::uint8_t>* Expected, std::vector<std::uint8_t>& List,
                     double& LoginMs) {
  try {
    const auto Began = std::chrono::steady_clock::now();
    TDBXTcpClientChannel Channel("127.0.0.1", Port);
    TDBXClientConnection Connection(Channel);
    Connection.Connect({});
    const std::int32_t Login =
        Connection.Prepare(u"Corvane.ServerMethod", u"TvxServerMethods8765.FazerLogin").CommandHandle;
    TDBXRowBuffer& Row = Connection.BeginParameters();
    Row.WriteString(u"maria");
    Row.WriteString(u"maria2024");
    Row.WriteNull();
    Connection.Execute(Login);
    Connection.ParameterRow().GoToField(2);
    const std::int32_t Level = Connection.ParameterRow().ReadInt32();
    LoginMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Began).count();
    if (Level != 3) return false;
    TDBXProviderClient Provider(Connection, u"TvxServerMethods8765");
    const TDBXRecordsReply Reply = Provider.GetRecords(u"dsEst1", -1, 0);
    List = std::get<std::vector<std::uint8_t>>(Reply.Data.Value);
    Provider.Close();
    Connection.Disconnect();
    return Expected == nullptr || List == *Expected;
  } catch (const std::exception&) {
    return false;
  }
}

void BM_HostileSoak(benchmark::State& State) {
  TBenchDemoFolder Folder("tavrin-soak-bench-");
  const std::vector<std::string> Inputs = SoakHostileInputs();
  for (auto _ : State) {
    const std::uint16_t Port = bench::FreePort();
    bench::TServerProcess Server(Folder.Path(), Port);
    std::vector<std::uint8_t> Expected;
    double LoginMs = 0;
    bool Started = false;
    const auto StartBy = std::chrono::steady_clock::now() + kSoakServerStart;
    while (Server.Pid() > 0 && !Started && std::chrono::steady_clock::now() < StartBy) {
      Started = SoakHonestRound(Port, nullptr, Expected, LoginMs);
      if (!Started) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!Started || Expected.empty()) {
      State.SkipWithError("the server process did not serve the first honest round");
      return;
    }
    std::atomic<bool> Stop{false};
    std::vector<std::thread> Hostiles;
    for (int i = 0; i < kSoakHostiles; ++i) {
      Hostiles.emplace_back([&, i] {
        const std::string Address = "127.0.0." + std::to_string(2 + i);
        for (std::size_t n = static_cast<std::size_t>(i); !Stop.load(); ++n) {
          SoakSendFrom(Address, Port, Inputs[n % Inputs.size()]);
        }
      });
    }
    std::atomic<double> PeakMiB{0};
    std::thread Sampler([&] {
      while (!Stop.load()) {
        PeakMiB = std::max(PeakMiB.load(), bench::StatusKiB(Server.Pid(), "VmRSS") / 1024);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
    std::vector<double> Logins;
    int Wrong = 0;
    const auto Until = std::chrono::steady_clock::now() + SoakDuration();
    while (std::chrono::steady_clock::now() < Until) {
      std::vector<std::uint8_t> List;
      if (!SoakHonestRound(Port, &Expected, List, LoginMs)) ++Wrong;
      Logins.push_back(LoginMs);
    }
    Stop = true;
    for (auto& Hostile : Hostiles) Hostile.join();
    Sampler.join();
    std::sort(Logins.begin(), Logins.end());
    State.SetIterationTime(std::chrono::duration<double>(SoakDuration()).count());
    State.counters["server_peak_mib"] = std::max(PeakMiB.load(), bench::StatusKiB(Server.Pid(), "VmHWM") / 1024);
    State.counters["honest_rounds"] = static_cast<double>(Logins.size());
    State.counters["honest_wrong"] = Wrong;
    State.counters["login_p50_ms"] = Logins[Logins.size() / 2];
    State.counters["login_p99_ms"] = Logins[Logins.size() * 99 / 100];
    State.counters["list_kib"] = static_cast<double>(Expected.size()) / 1024;
  }
}
BENCHMARK(BM_HostileSoak)->Iterations(1)->Repetitions(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tavrin
