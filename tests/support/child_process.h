#pragma once
// A program run as a child process for end-to-end tests: its standard output and
// error read line by line with a time limit, a stop asked of it, its exit code waited
// for with a time limit. On POSIX systems and on Windows.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
// Sockets' header first: a test program of this folder may use asio, which needs it
// before windows.h.
#include <winsock2.h>
#include <windows.h>

#include <filesystem>

#include "platform/utf16_win.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::testing {

class TChildProcess {
 public:
  // Starts Program with Arguments; standard input is the null device.
  TChildProcess(const std::string& Program, const std::vector<std::string>& Arguments) {
    Start(Program, Arguments);
  }
  ~TChildProcess() { End(); }
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  bool Started() const;
#ifndef _WIN32
  // The process's id, for reading its /proc entries; -1 when it did not start.
  pid_t Pid() const { return FPid; }
#endif

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

  // Asks the program to stop, as a service manager would (SIGTERM), or as its operator
  // would with Ctrl+C (Interrupt: SIGINT). Windows has no such signals: both are the
  // Ctrl+C of the child's console there. True when the request was delivered.
  bool RequestStop();
  bool Interrupt();
  // Ends the program at once, as a power cut would end it (SIGKILL; TerminateProcess on
  // Windows). True when it was delivered.
  bool Kill();

  // The exit code, or -1 when the process was ended by a signal or did not end within
  // Patience.
  int Wait(std::chrono::milliseconds Patience = std::chrono::seconds(20));

 private:
  struct TStream;

  static std::optional<std::string> ReadLine(TStream& Stream, std::chrono::milliseconds Patience) {
    const auto Deadline = std::chrono::steady_clock::now() + Patience;
    for (;;) {
      const std::size_t End = Stream.Buffer.find('\n');
      if (End != std::string::npos) {
        std::string Line = Stream.Buffer.substr(0, End);
        Stream.Buffer.erase(0, End + 1);
#ifdef _WIN32
        // The C runtime writes text as "\r\n".
        if (Line.ends_with('\r')) Line.pop_back();
#endif
        return Line;
      }
      const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
      if (Left.count() <= 0 || !ReadMore(Stream, Left)) return std::nullopt;
    }
  }

  void Start(const std::string& Program, const std::vector<std::string>& Arguments);
  void End();
  // Appends what the stream has to its buffer, waiting up to Left for something; false
  // when the stream ended or nothing came.
  static bool ReadMore(TStream& Stream, std::chrono::milliseconds Left);

#ifdef _WIN32
  struct TStream {
    HANDLE Pipe = nullptr;
    std::string Buffer;
  };

  HANDLE FProcess = nullptr;
  DWORD FProcessId = 0;
#else
  struct TStream {
    int Fd = -1;
    std::string Buffer;
  };

  pid_t FPid = -1;
#endif
  TStream FOut;
  TStream FErr;
  std::optional<int> FExitCode;
};

#ifdef _WIN32

namespace child_process_win {

// Word as the C runtime's command-line parser reads it back: quoted when it has blanks
// or quotes or is empty, with the backslashes before a quote doubled.
inline void AppendQuoted(std::wstring& Line, const std::wstring& Word) {
  if (!Line.empty()) Line += L' ';
  if (!Word.empty() && Word.find_first_of(L" \t\"") == std::wstring::npos) {
    Line += Word;
    return;
  }
  Line += L'"';
  std::size_t Backslashes = 0;
  for (const wchar_t Char : Word) {
    if (Char == L'\\') {
      ++Backslashes;
      continue;
    }
    Line.append(Char == L'"' ? Backslashes * 2 + 1 : Backslashes, L'\\');
    Backslashes = 0;
    Line += Char;
  }
  Line.append(Backslashes * 2, L'\\');
  Line += L'"';
}

// Handles the Ctrl+C this process raises on a child's console while it is attached to
// it: without a handler, the event would end this process too.
inline BOOL WINAPI IgnoreStopEvent(DWORD Event) { return Event == CTRL_C_EVENT || Event == CTRL_BREAK_EVENT; }

}  // namespace child_process_win

inline void TChildProcess::Start(const std::string& Program, const std::vector<std::string>& Arguments) {
  SECURITY_ATTRIBUTES Inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE OutWrite = nullptr;
  HANDLE ErrWrite = nullptr;
  if (!CreatePipe(&FOut.Pipe, &OutWrite, &Inherited, 0)) return;
  if (!CreatePipe(&FErr.Pipe, &ErrWrite, &Inherited, 0)) {
    CloseHandle(OutWrite);
    return;
  }
  // Only the child's ends go to the child.
  SetHandleInformation(FOut.Pipe, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(FErr.Pipe, HANDLE_FLAG_INHERIT, 0);
  HANDLE Null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherited, OPEN_EXISTING, 0,
                            nullptr);

  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = Null;
  Startup.hStdOutput = OutWrite;
  Startup.hStdError = ErrWrite;
  // The build passes its own paths, such as /work/build/x.exe: rooted on the current
  // drive, which under Wine is the one that maps the host's file system.
  const std::wstring Application = std::filesystem::absolute(std::filesystem::path(Program)).make_preferred().wstring();
  std::wstring CommandLine;
  child_process_win::AppendQuoted(CommandLine, Application);
  for (const auto& Argument : Arguments) child_process_win::AppendQuoted(CommandLine, platform::Widen(Argument));
  // A console of its own, without a window, so that a Ctrl+C can be raised on it alone.
  PROCESS_INFORMATION Process{};
  if (CreateProcessW(Application.c_str(), CommandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                     nullptr, &Startup, &Process)) {
    CloseHandle(Process.hThread);
    FProcess = Process.hProcess;
    FProcessId = Process.dwProcessId;
  }
  CloseHandle(OutWrite);
  CloseHandle(ErrWrite);
  if (Null != INVALID_HANDLE_VALUE) CloseHandle(Null);
}

inline void TChildProcess::End() {
  if (FProcess) {
    if (!FExitCode) {
      TerminateProcess(FProcess, 1);
      WaitForSingleObject(FProcess, INFINITE);
    }
    CloseHandle(FProcess);
  }
  if (FOut.Pipe) CloseHandle(FOut.Pipe);
  if (FErr.Pipe) CloseHandle(FErr.Pipe);
}

inline bool TChildProcess::Started() const { return FProcess != nullptr; }

inline bool TChildProcess::RequestStop() {
  if (!FProcess) return false;
  // The event goes to every process attached to a console, so this process joins the
  // child's for the moment it takes, and handles the event itself. Not for several
  // threads at once: a process has one console.
  static const bool Handled = SetConsoleCtrlHandler(child_process_win::IgnoreStopEvent, TRUE) != 0;
  FreeConsole();
  if (!Handled || !AttachConsole(FProcessId)) return false;
  // Ctrl+Break would reach the child alone, but Wine does not raise it.
  const bool Raised = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
  FreeConsole();
  return Raised;
}

inline bool TChildProcess::Interrupt() { return RequestStop(); }

inline bool TChildProcess::Kill() { return FProcess && TerminateProcess(FProcess, 1); }

inline int TChildProcess::Wait(std::chrono::milliseconds Patience) {
  if (FExitCode) return *FExitCode;
  if (!FProcess || WaitForSingleObject(FProcess, static_cast<DWORD>(Patience.count())) != WAIT_OBJECT_0) return -1;
  DWORD Code = 0;
  GetExitCodeProcess(FProcess, &Code);
  FExitCode = static_cast<int>(Code);
  return *FExitCode;
}

inline bool TChildProcess::ReadMore(TStream& Stream, std::chrono::milliseconds Left) {
  // Anonymous pipes cannot be waited on: they are polled.
  const auto Deadline = std::chrono::steady_clock::now() + Left;
  for (;;) {
    DWORD Available = 0;
    if (!PeekNamedPipe(Stream.Pipe, nullptr, 0, nullptr, &Available, nullptr)) return false;  // ended
    if (Available > 0) break;
    if (std::chrono::steady_clock::now() >= Deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  char Bytes[4096];
  DWORD Count = 0;
  if (!ReadFile(Stream.Pipe, Bytes, sizeof Bytes, &Count, nullptr) || Count == 0) return false;
  Stream.Buffer.append(Bytes, Count);
  return true;
}

#else

inline void TChildProcess::Start(const std::string& Program, const std::vector<std::string>& Arguments) {
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

inline void TChildProcess::End() {
  if (FPid > 0 && !FExitCode) {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
  }
  close(FOut.Fd);
  close(FErr.Fd);
}

inline bool TChildProcess::Started() const { return FPid > 0; }

inline bool TChildProcess::RequestStop() { return FPid > 0 && kill(FPid, SIGTERM) == 0; }

inline bool TChildProcess::Interrupt() { return FPid > 0 && kill(FPid, SIGINT) == 0; }

inline bool TChildProcess::Kill() { return FPid > 0 && kill(FPid, SIGKILL) == 0; }

inline int TChildProcess::Wait(std::chrono::milliseconds Patience) {
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

inline bool TChildProcess::ReadMore(TStream& Stream, std::chrono::milliseconds Left) {
  pollfd Wait{Stream.Fd, POLLIN, 0};
  if (poll(&Wait, 1, static_cast<int>(Left.count())) <= 0) return false;
  char Bytes[4096];
  const ssize_t Count = read(Stream.Fd, Bytes, sizeof Bytes);
  if (Count <= 0) return false;
  Stream.Buffer.append(Bytes, static_cast<std::size_t>(Count));
  return true;
}

#endif

}  // namespace tavrin::testing
