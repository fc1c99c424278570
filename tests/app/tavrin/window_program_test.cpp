// The real program with its window, on a virtual X display (Xvfb): it serves a login
// from tavrin-cli, and closing the window ends it with exit code 0, closing the
// connection of a client that is mid-session.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "demo_data/demo_data.h"
#include "support/child_process.h"
#include "support/login_exchange.h"
#include "support/eventually.h"
#include "support/temp_folder.h"
#include "transport/test_client.h"

namespace tavrin::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kPortLineCaption = "Porta em uso: ";

// The port the program reports once it listens; empty when it ends or falls silent
// without reporting one.
std::string ReportedPort(TChildProcess& Program) {
  while (const auto Line = Program.OutLine(std::chrono::seconds(60))) {
    if (Line->starts_with(kPortLineCaption)) return Line->substr(kPortLineCaption.size());
  }
  return "";
}

// An X server of its own, for the life of the object; DISPLAY names it meanwhile. The X
// server picks a free display number itself and reports it, so tests running side by
// side never share one (and one test's end never takes another's display away).
class TVirtualDisplay {
 public:
  TVirtualDisplay() {
    FServer = std::make_unique<TChildProcess>(
        kXvfb, Lines{"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    const auto Number = FServer->OutLine(std::chrono::seconds(60));
    FReady = Number.has_value() && !Number->empty();
    if (FReady) FName = ":" + *Number;
    ::setenv("DISPLAY", FName.c_str(), 1);
  }
  // False when the X server never opened its display.
  bool Ready() const { return FReady; }
  ~TVirtualDisplay() {
    ::unsetenv("DISPLAY");
    // Ended gently, the X server removes its socket and lock files.
    if (FServer) {
      FServer->RequestStop();
      FServer->Wait();
    }
  }

  static bool Available() { return std::filesystem::exists(kXvfb); }

 private:
  static constexpr char kXvfb[] = "/usr/bin/Xvfb";
  std::string FName;
  std::unique_ptr<TChildProcess> FServer;
  bool FReady = false;
};

// The program's window needs an X server to show it on (the file is built only with the
// window).
class WindowProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TVirtualDisplay::Available()) GTEST_SKIP() << "Xvfb is not installed";
  }
};

int Cli(const Lines& Arguments, Lines& Out) {
  TChildProcess Cli(TAVRIN_CLI, Arguments);
  while (auto Line = Cli.OutLine()) Out.push_back(*Line);
  return Cli.Wait();
}

TEST_F(WindowProgram, ServesALoginAndClosingTheWindowEndsWithCodeZero) {
  TTempFolder Folder;
  CreateDemoData(Folder.Path().string());
  TVirtualDisplay Display;
  ASSERT_TRUE(Display.Ready()) << "the virtual display never came";
  TChildProcess Server(TAVRIN_PROGRAM, {"--port", "0", "--data-folder", Folder.Path().string(),
                                        "--address-service", "http://127.0.0.1:1/"});
  const std::string Port = ReportedPort(Server);
  ASSERT_FALSE(Port.empty()) << "no port line";

  // The server listens before the window shows, and answers logins once the window's
  // first activation has found the data folder: until then a login fails.
  Lines Out;
  int ExitCode = 1;
  EXPECT_TRUE(Eventually([&] {
    Out.clear();
    ExitCode = Cli({"--port", Port, "login", "admin", "zul123"}, Out);
    return ExitCode == 0;
  }));
  EXPECT_EQ(Out, Lines{"9 - login OK, user level 9"});

  // A client mid-session, its thread waiting inside half a request, when the window closes.
  TTestClient Client;
  ASSERT_TRUE(Client.Connect(static_cast<std::uint16_t>(std::stoi(Port))));
  Client.Send(std::string(kLoginConnect) + kLoginPrepare);
  const std::string Replies = Client.ReadUntil(kLoginPrepareReplyEnd);
  ASSERT_TRUE(Replies.ends_with(kLoginPrepareReplyEnd)) << Replies;
  const std::string Execute = kLoginExecute;
  Client.Send(Execute.substr(0, Execute.size() / 2));

  TChildProcess Close("/usr/bin/python3", {TAVRIN_CLOSE_WINDOW, "TAVRIN - Velmora"});
  EXPECT_EQ(Close.Wait(std::chrono::seconds(90)), 0) << Close.ErrLine(std::chrono::milliseconds(10)).value_or("");
  EXPECT_EQ(Server.Wait(std::chrono::seconds(60)), 0);
  EXPECT_TRUE(Client.ClosedByServer());
}

TEST_F(WindowProgram, ABusyPortShowsTheApplicationErrorBoxAndEndsWithCodeOne) {
  TTempFolder Folder;
  CreateDemoData(Folder.Path().string());
  TChildProcess First(TAVRIN_PROGRAM, {"--headless", "--port", "0", "--data-folder", Folder.Path().string(),
                                       "--address-service", "http://127.0.0.1:1/"});
  const std::string Port = ReportedPort(First);
  ASSERT_FALSE(Port.empty()) << "no port line";

  TVirtualDisplay Display;
  ASSERT_TRUE(Display.Ready()) << "the virtual display never came";
  TChildProcess Second(TAVRIN_PROGRAM, {"--port", Port, "--data-folder", Folder.Path().string()});
  // The operator closes the box, and the program ends.
  TChildProcess Close("/usr/bin/python3", {TAVRIN_CLOSE_WINDOW, "Application Error"});
  EXPECT_EQ(Close.Wait(std::chrono::seconds(90)), 0) << Close.ErrLine(std::chrono::milliseconds(10)).value_or("");
  EXPECT_EQ(Second.Wait(std::chrono::seconds(60)), 1);
  EXPECT_TRUE(First.RequestStop());
  EXPECT_EQ(First.Wait(), 0);
}

TEST_F(WindowProgram, AFolderWithoutTheProductsDatabaseShowsTheErrorBoxAndEndsWithCodeZero) {
  TTempFolder Empty;
  TVirtualDisplay Display;
  ASSERT_TRUE(Display.Ready()) << "the virtual display never came";
  TChildProcess Server(TAVRIN_PROGRAM, {"--port", "0", "--data-folder", Empty.Path().string(),
                                        "--address-service", "http://127.0.0.1:1/"});
  TChildProcess Close("/usr/bin/python3", {TAVRIN_CLOSE_WINDOW, "Erro"});
  EXPECT_EQ(Close.Wait(std::chrono::seconds(90)), 0) << Close.ErrLine(std::chrono::milliseconds(10)).value_or("");
  EXPECT_EQ(Server.Wait(std::chrono::seconds(60)), 0);
}

}  // namespace
}  // namespace tavrin::testing
