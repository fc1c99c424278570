#include "platform/terminal.h"

#include <windows.h>
#include <io.h>

#include <cstdio>

namespace tavrin::platform {

namespace {

bool TerminalHandleLeadsSomewhere(DWORD Which) {
  const HANDLE Handle = GetStdHandle(Which);
  return Handle != nullptr && Handle != INVALID_HANDLE_VALUE && GetFileType(Handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

bool StandardInputIsTerminal() noexcept { return _isatty(_fileno(stdin)) != 0; }

bool DisplayAvailable() noexcept { return true; }

bool StandardOutputRedirected() noexcept {
  const DWORD Type = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE));
  return Type == FILE_TYPE_DISK || Type == FILE_TYPE_PIPE;
}

namespace {

// Which standard streams lead somewhere, looked at before a console is joined: a
// stream the caller redirected keeps its target.
struct TTerminalStreams {
  bool In = TerminalHandleLeadsSomewhere(STD_INPUT_HANDLE);
  bool Out = TerminalHandleLeadsSomewhere(STD_OUTPUT_HANDLE);
  bool Err = TerminalHandleLeadsSomewhere(STD_ERROR_HANDLE);

  // Points the streams that led nowhere at the console now joined. A stream that
  // cannot be reopened stays leading nowhere, as it was.
  void ReopenOnConsole() const {
    if (!In) static_cast<void>(std::freopen("CONIN$", "r", stdin));
    if (!Out) static_cast<void>(std::freopen("CONOUT$", "w", stdout));
    if (!Err) static_cast<void>(std::freopen("CONOUT$", "w", stderr));
  }
};

}  // namespace

void UseParentConsole() noexcept {
  const TTerminalStreams Streams;
  if (Streams.In && Streams.Out && Streams.Err) return;
  if (AttachConsole(ATTACH_PARENT_PROCESS)) Streams.ReopenOnConsole();
}

void HoldConsole() noexcept {
  const TTerminalStreams Streams;
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    Streams.ReopenOnConsole();
    return;
  }
  if (GetLastError() == ERROR_ACCESS_DENIED) return;  // it has a console already
  if (!AllocConsole()) return;
  // Nobody types there: the console only carries Ctrl+C.
  if (const HWND Window = GetConsoleWindow(); Window != nullptr) ShowWindow(Window, SW_HIDE);
  Streams.ReopenOnConsole();
}

}  // namespace tavrin::platform
