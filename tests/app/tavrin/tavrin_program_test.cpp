// The real programs end to end: `tavrin` headless on an ephemeral port over a demo
// data folder, asked by `tavrin-cli`; a busy port, a folder without the product's
// database, a stop request.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "demo_data/demo_data.h"
#include "support/child_process.h"
#include "support/login_exchange.h"
#include "support/temp_folder.h"
#include "transport/test_client.h"

namespace tavrin::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kPortCaption = "Porta em uso: ";
// Refused at once: the internet lookup must not leave the machine.
const std::string kNoAddressService = "http://127.0.0.1:1/";

// The server on a fresh demo folder, with its port read from its output.
class ServerProgramTest : public ::testing::Test {
 protected:
  ServerProgramTest() { CreateDemoData(FFolder.Path().string()); }

  // Starts the server and reads its start-up lines up to the internet address.
  void StartServer() {
    FServer = std::make_unique<TChildProcess>(
        TAVRIN_PROGRAM, Lines{"--headless", "--port", "0", "--data-folder", FFolder.Path().string(),
                              "--address-service", kNoAddressService});
    ASSERT_TRUE(FServer->Started());
    FStartLines = FServer->OutLinesUntil("N\u00e3o dispon\u00edvel");
    for (const auto& Line : FStartLines) {
      if (Line.starts_with(kPortCaption)) FPort = Line.substr(kPortCaption.size());
    }
    ASSERT_FALSE(FPort.empty()) << "no port line";
  }

  // Runs tavrin-cli against the server; returns its exit code and output lines.
  int Cli(const Lines& Arguments, Lines& Out) {
    Lines Words{"--port", FPort};
    Words.insert(Words.end(), Arguments.begin(), Arguments.end());
    TChildProcess Cli(TAVRIN_CLI, Words);
    while (auto Line = Cli.OutLine()) Out.push_back(*Line);
    return Cli.Wait();
  }

  TTempFolder FFolder;
  std::unique_ptr<TChildProcess> FServer;
  Lines FStartLines;
  std::string FPort;
};

bool EndsWith(const std::string& Line, const std::string& Suffix) { return Line.ends_with(Suffix); }

TEST_F(ServerProgramTest, ServesALoginFromTheCliAndStopsCleanlyOnTerm) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  ASSERT_GE(FStartLines.size(), 5u);
  EXPECT_EQ(FStartLines[0], "Pasta de dados: " + FFolder.Path().string());
  EXPECT_TRUE(EndsWith(FStartLines[3], " - Servidor inicializado")) << FStartLines[3];

  Lines Out;
  EXPECT_EQ(Cli({"login", "admin", "zul123"}, Out), 0);
  EXPECT_EQ(Out, Lines{"9 - login OK, user level 9"});

  // The log lines of the session, each after its time stamp, in this order.
  const Lines Expected{" - Conex\u00e3o do endere\u00e7o 127.0.0.1", " - Usu\u00e1rio \"admin\" fazendo login",
                       " - Banco de dados conectado",                " - Login OK",
                       " - Banco de dados desconectado",            " - Desconectado do IP 127.0.0.1"};
  const Lines Log = FServer->OutLinesUntil(Expected.back());
  ASSERT_EQ(Log.size(), Expected.size());
  for (std::size_t i = 0; i < Expected.size(); ++i) EXPECT_TRUE(EndsWith(Log[i], Expected[i])) << Log[i];

  EXPECT_TRUE(FServer->RequestStop());
  EXPECT_EQ(FServer->Wait(), 0);
}

TEST_F(ServerProgramTest, TermWhileAClientIsMidSessionClosesItsConnectionAndEndsWithCodeZero) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  TTestClient Client;
  ASSERT_TRUE(Client.Connect(static_cast<std::uint16_t>(std::stoi(FPort))));
  Client.Send(std::string(kLoginConnect) + kLoginPrepare);
  const std::string Replies = Client.ReadUntil(kLoginPrepareReplyEnd);
  ASSERT_TRUE(Replies.ends_with(kLoginPrepareReplyEnd)) << Replies;
  // Half a request: the connection's thread waits inside it for the rest.
  const std::string Execute = kLoginExecute;
  Client.Send(Execute.substr(0, Execute.size() / 2));
  EXPECT_FALSE(FServer->OutLinesUntil(" - Conex\u00e3o do endere\u00e7o 127.0.0.1").empty());

  EXPECT_TRUE(FServer->RequestStop());
  EXPECT_EQ(FServer->Wait(), 0);
  EXPECT_TRUE(Client.ClosedByServer());
}

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The process's peak resident size in bytes; -1 when it cannot be read.
double PeakResidentBytes(pid_t Process) {
  std::ifstream Status("/proc/" + std::to_string(Process) + "/status");
  for (std::string Line; std::getline(Status, Line);) {
    if (Line.starts_with("VmHWM:")) return std::stod(Line.substr(6)) * 1024;
  }
  return -1;
}

// A long command text is read into its place once: no doubled room, no copy into the
// message, none for the name looked up. It then costs about its own size in UTF-16
// (twice its bytes) and little more. The sanitizers' allocators measure otherwise.
TEST_F(ServerProgramTest, ACommandTextOf30MiBCostsAboutTwiceItsSizeAtPeakAndIsAnsweredShortly) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  const double Idle = PeakResidentBytes(FServer->Pid());
  ASSERT_GT(Idle, 0);
  constexpr std::size_t kTextBytes = 30 * 1024 * 1024;
  const std::string Name = "DSAdmin." + std::string(kTextBytes - 8, 'n');
  TTestClient Client;
  ASSERT_TRUE(Client.Connect(static_cast<std::uint16_t>(std::stoi(FPort))));
  Client.Send(std::string(kLoginConnect) + R"({"method":"prepare","params":[-1,false,"Corvane.ServerMethod",")" +
              Name + R"("]})");
  // The error reply leaves its outer object open: it ends with the message's quote.
  const std::string Replies = Client.ReadUntil("\"}", std::chrono::seconds(30));
  EXPECT_NE(Replies.find(Name.substr(0, 256) + "... method not found"), std::string::npos) << Replies.substr(0, 600);
  EXPECT_LT(Replies.size(), 1024u);
  const double Peak = PeakResidentBytes(FServer->Pid());
  EXPECT_LT(Peak - Idle, 2.2 * kTextBytes) << "idle " << Idle / (1 << 20) << " MiB, peak " << Peak / (1 << 20)
                                           << " MiB";
}
#endif

TEST_F(ServerProgramTest, ASecondServerOnTheSamePortEndsWithCodeOneAndTheFirstKeepsServing) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  TChildProcess Second(TAVRIN_PROGRAM, {"--headless", "--port", FPort, "--data-folder", FFolder.Path().string()});
  EXPECT_EQ(Second.ErrLine().value_or(""),
            "Application Error: TDBXError: Could not bind socket. Address and port are already in use.");
  EXPECT_EQ(Second.Wait(), 1);

  Lines Out;
  EXPECT_EQ(Cli({"version"}, Out), 0);
  EXPECT_EQ(Out, Lines{"2"});
  EXPECT_TRUE(FServer->Interrupt());
  EXPECT_EQ(FServer->Wait(), 0);
}

TEST(ServerProgram, AFolderWithoutTheProductsDatabaseEndsWithCodeZeroAfterTheError) {
  TTempFolder Empty;
  TChildProcess Server(TAVRIN_PROGRAM, {"--headless", "--port", "0", "--data-folder", Empty.Path().string()});
  EXPECT_EQ(Server.ErrLine().value_or(""),
            "Erro: N\u00e3o foi localizado um banco de dados do software ZUL na pasta " + Empty.Path().string());
  EXPECT_EQ(Server.Wait(), 0);
}

TEST(ServerProgram, CliWithoutAServerEndsWithCodeOne) {
  // Port 1: nothing listens there on a test machine.
  TChildProcess Cli(TAVRIN_CLI, {"--port", "1", "version"});
  const std::string Error = Cli.ErrLine().value_or("");
  EXPECT_TRUE(Error.starts_with("tavrin-cli: ")) << Error;
  EXPECT_EQ(Cli.Wait(), 1);
}

}  // namespace
}  // namespace tavrin::testing
