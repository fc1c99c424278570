// The real program with its window, on a virtual X display (Xvfb): it serves a login
// from tavrin-cli, and closing the window ends it with exit code 0.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "demo_data/demo_data.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace tavrin::testing {
namespace {

using Lines = std::vector<std::string>;

// A port free at this moment (bound by the system's choice and released).
std::string FreePort() {
  const int Socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in Address{};
  Address.sin_family = AF_INET;
  Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t Length = sizeof Address;
  ::bind(Socket, reinterpret_cast<sockaddr*>(&Address), sizeof Address);
  ::getsockname(Socket, reinterpret_cast<sockaddr*>(&Address), &Length);
  ::close(Socket);
  return std::to_string(ntohs(Address.sin_port));
}

// An X server of its own on a display number nobody uses, for the life of the object;
// DISPLAY names it meanwhile.
class TVirtualDisplay {
 public:
  TVirtualDisplay() {
    for (int Number = 91; Number < 120 && !FServer; ++Number) {
      if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(Number))) continue;
      FName = ":" + std::to_string(Number);
      FServer = std::make_unique<TChildProcess>(
          kXvfb, Lines{FName, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
      for (int Attempt = 0; Attempt < 100; ++Attempt) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(Number))) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
    ::setenv("DISPLAY", FName.c_str(), 1);
  }
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
  const std::string Port = FreePort();
  TChildProcess Server(TAVRIN_PROGRAM, {"--port", Port, "--data-folder", Folder.Path().string(),
                                        "--address-service", "http://127.0.0.1:1/"});

  // The server listens before the window shows, and answers logins once the window's
  // first activation has found the data folder: until then a login fails.
  Lines Out;
  int ExitCode = 1;
  for (int Attempt = 0; Attempt < 100 && ExitCode != 0; ++Attempt) {
    Out.clear();
    ExitCode = Cli({"--port", Port, "login", "admin", "zul123"}, Out);
    if (ExitCode != 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(ExitCode, 0);
  EXPECT_EQ(Out, Lines{"9 - login OK, user level 9"});

  TChildProcess Close("/usr/bin/python3", {TAVRIN_CLOSE_WINDOW, "TAVRIN - Velmora"});
  EXPECT_EQ(Close.Wait(), 0) << Close.ErrLine(std::chrono::milliseconds(10)).value_or("");
  EXPECT_EQ(Server.Wait(), 0);
}

TEST_F(WindowProgram, ABusyPortShowsTheApplicationErrorBoxAndEndsWithCodeOne) {
  TTempFolder Folder;
  CreateDemoData(Folder.Path().string());
  const std::string Port = FreePort();
  TChildProcess First(TAVRIN_PROGRAM, {"--headless", "--port", Port, "--data-folder", Folder.Path().string(),
                                       "--address-service", "http://127.0.0.1:1/"});
  ASSERT_TRUE(First.OutLine().has_value());  // listening: the start-up lines have begun

  TVirtualDisplay Display;
  TChildProcess Second(TAVRIN_PROGRAM, {"--port", Port, "--data-folder", Folder.Path().string()});
  // The operator closes the box, and the program ends.
  TChildProcess Close("/usr/bin/python3", {TAVRIN_CLOSE_WINDOW, "Application Error"});
  EXPECT_EQ(Close.Wait(), 0) << Close.ErrLine(std::chrono::milliseconds(10)).value_or("");
  EXPECT_EQ(Second.Wait(), 1);
  EXPECT_TRUE(First.RequestStop());
  EXPECT_EQ(First.Wait(), 0);
}

TEST_F(WindowProgram, AFolderWithoutTheProductsDatabaseShowsTheErrorBoxAndEndsWithCodeZero) {
  TTempFolder Empty;
  TVirtualDisplay Display;
  TChildProcess Server(TAVRIN_PROGRAM, {"--port", "0", "--data-folder", Empty.Path().string(),
                                        "--address-service", "http://127.0.0.1:1/"});
  TChildProcess Close("/usr/bin/python3", {TAVRIN_CLOSE_WINDOW, "Erro"});
  EXPECT_EQ(Close.Wait(), 0) << Close.ErrLine(std::chrono::milliseconds(10)).value_or("");
  EXPECT_EQ(Server.Wait(), 0);
}

}  // namespace
}  // namespace tavrin::testing
