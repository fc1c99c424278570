#pragma once
// The tavrin program as a process of its own, for benchmarks that measure the server's
// memory or CPU without the client's in the same figures: a free port to give it, the
// fields of its /proc entries, and the process itself, its output discarded and stopped
// like Ctrl+C when it goes. Linux only, as the benchmarks are.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio.hpp>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace tavrin::bench {

// A port nobody listens on right now.
inline std::uint16_t FreePort() {
  asio::io_context Io;
  asio::ip::tcp::acceptor Probe(Io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
  return Probe.local_endpoint().port();
}

// A field of /proc/<pid>/status in KiB ("VmHWM", "VmRSS"); -1 when it cannot be read.
inline double StatusKiB(pid_t Process, const std::string& Field) {
  std::ifstream Status("/proc/" + std::to_string(Process) + "/status");
  std::string Line;
  while (std::getline(Status, Line)) {
    if (Line.rfind(Field + ":", 0) == 0) return std::stod(Line.substr(Field.size() + 1));
  }
  return -1;
}

// User and system CPU time the process used so far, in seconds; -1 when unreadable.
inline double CpuSecondsOf(pid_t Process) {
  std::ifstream Stat("/proc/" + std::to_string(Process) + "/stat");
  std::string Text;
  std::getline(Stat, Text);
  // The command name may hold blanks; the fields after it are counted from its ')'.
  const std::size_t After = Text.rfind(')');
  if (After == std::string::npos) return -1;
  std::istringstream Fields(Text.substr(After + 2));
  std::string Field;
  double Ticks = 0;
  // utime and stime are the 14th and 15th fields, the 12th and 13th after the name.
  for (int i = 1; i <= 13 && Fields >> Field; ++i) {
    if (i >= 12) Ticks += std::stod(Field);
  }
  return Ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// tavrin --headless on Folder and Port, with Extra options after those.
class TServerProcess {
 public:
  TServerProcess(const std::string& Folder, std::uint16_t Port, const std::vector<std::string>& Extra = {}) {
    std::vector<std::string> Words = {TAVRIN_PROGRAM, "--headless", "--data-folder", Folder, "--port",
                                      std::to_string(Port)};
    Words.insert(Words.end(), Extra.begin(), Extra.end());
    std::vector<char*> Argv;
    for (std::string& Word : Words) Argv.push_back(Word.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&FPid, Argv[0], &Actions, nullptr, Argv.data(), environ) != 0) FPid = -1;
    posix_spawn_file_actions_destroy(&Actions);
  }
  ~TServerProcess() {
    if (FPid <= 0) return;
    kill(FPid, SIGINT);
    int Status = 0;
    waitpid(FPid, &Status, 0);
  }
  TServerProcess(const TServerProcess&) = delete;
  TServerProcess& operator=(const TServerProcess&) = delete;

  pid_t Pid() const { return FPid; }

 private:
  pid_t FPid = -1;
};

}  // namespace tavrin::bench
