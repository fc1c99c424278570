#pragma once
// A program run as a child process for end-to-end tests: its standard output and
// error read line by line with a time limit, a signal sent to it, its exit code waited
// for with a time limit. POSIX only.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tavrin::testing {

class TChildProcess {
 public:
  // Starts Program with Arguments; standard input is /dev/null.
  TChildProcess(const std::string& Program, const std::vector<std::string>& Arguments) {
    int Out[2];
    int Err[2];
    if (pipe(Out) != 0 || pipe(Err) != 0) return;
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, Err[1], 2);
    posix_spawn_file_actions_addclose(&Actions, Out[0]);
    posix_spawn_file_actions_addclose(&Actions, Err[0]);
    std::vector<std::string> Words{Program};
    Words.insert(Words.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> Argv;
    for (auto& Word : Words) Argv.push_back(Word.data());
    Argv.push_back(nullptr);
    if (posix_spawn(&FPid, Program.c_str(), &Actions, nullptr, Argv.data(), environ) != 0) FPid = -1;
    posix_spawn_file_actions_destroy(&Actions);
    close(Out[1]);
    close(Err[1]);
    FOut.Fd = Out[0];
    FErr.Fd = Err[0];
  }
  ~TChildProcess() {
    if (FPid > 0 && !FExitCode) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
    close(FOut.Fd);
    close(FErr.Fd);
  }
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  bool Started() const { return FPid > 0; }

  // The next line of standard output (or error), without its line break; nothing when
  // the stream ended or no line came within Patience.
  std::optional<std::string> OutLine(std::chrono::milliseconds Patience = std::chrono::seconds(10)) {
    return ReadLine(FOut, Patience);
  }
  std::optional<std::string> ErrLine(std::chrono::milliseconds Patience = std::chrono::seconds(10)) {
    return ReadLine(FErr, Patience);
  }
  // Every output line up to and including the first that ends with Suffix; stops early
  // when the stream ends or a line takes longer than Patience.
  std::vector<std::string> OutLinesUntil(const std::string& Suffix,
                                         std::chrono::milliseconds Patience = std::chrono::seconds(10)) {
    std::vector<std::string> Lines;
    while (auto Line = OutLine(Patience)) {
      Lines.push_back(*Line);
      if (Line->ends_with(Suffix)) break;
    }
    return Lines;
  }

  void Signal(int Number) { kill(FPid, Number); }

  // The exit code, or -1 when the process was ended by a signal or did not end within
  // Patience.
  int Wait(std::chrono::milliseconds Patience = std::chrono::seconds(20)) {
    if (FExitCode) return *FExitCode;
    const auto Deadline = std::chrono::steady_clock::now() + Patience;
    while (std::chrono::steady_clock::now() < Deadline) {
      int Status = 0;
      if (waitpid(FPid, &Status, WNOHANG) == FPid) {
        FExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
        return *FExitCode;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  struct TStream {
    int Fd = -1;
    std::string Buffer;
  };

  static std::optional<std::string> ReadLine(TStream& Stream, std::chrono::milliseconds Patience) {
    const auto Deadline = std::chrono::steady_clock::now() + Patience;
    for (;;) {
      const std::size_t End = Stream.Buffer.find('\n');
      if (End != std::string::npos) {
        std::string Line = Stream.Buffer.substr(0, End);
        Stream.Buffer.erase(0, End + 1);
        return Line;
      }
      const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
      if (Left.count() <= 0) return std::nullopt;
      pollfd Wait{Stream.Fd, POLLIN, 0};
      if (poll(&Wait, 1, static_cast<int>(Left.count())) <= 0) return std::nullopt;
      char Bytes[4096];
      const ssize_t Count = read(Stream.Fd, Bytes, sizeof Bytes);
      if (Count <= 0) return std::nullopt;
      Stream.Buffer.append(Bytes, static_cast<std::size_t>(Count));
    }
  }

  pid_t FPid = -1;
  TStream FOut;
  TStream FErr;
  std::optional<int> FExitCode;
};

}  // namespace tavrin::testing
