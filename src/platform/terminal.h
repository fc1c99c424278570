#pragma once
// What the program without a window can tell about where it runs: whether someone can
// answer at a terminal, and whether a desktop is there to show a window on.

namespace tavrin::platform {

// Whether the program's standard input is a terminal.
bool StandardInputIsTerminal() noexcept;

// Whether a window could be shown: on Windows always (a desktop session); elsewhere
// when DISPLAY or WAYLAND_DISPLAY names a display.
bool DisplayAvailable() noexcept;

// Whether the program's standard output goes to a file or a pipe (not a terminal, and
// not nowhere as a program started from the desktop has it).
bool StandardOutputRedirected() noexcept;

// A desktop program on Windows starts without a console: this attaches it to the
// console of the program that started it, if that has one, and points the standard
// streams that lead nowhere at it (redirected ones stay as they are); Ctrl+C in that
// console then reaches the program's stop request. Elsewhere it does nothing. Call it
// first thing in main.
void UseParentConsole() noexcept;

// The program without a window stops on Ctrl+C in its console, so on Windows it must
// have one: the console of the program that started it, or else a hidden console of
// its own (whoever started it can still raise Ctrl+C there). Redirected streams keep
// their targets. Elsewhere it does nothing.
void HoldConsole() noexcept;

}  // namespace tavrin::platform
