#pragma once
// What the program without a window can tell about where it runs: whether someone can
// answer at a terminal, and whether a desktop is there to show a window on.

namespace tavrin::platform {

// Whether the program's standard input is a terminal.
bool StandardInputIsTerminal() noexcept;

// Whether a window could be shown: on Windows always (a desktop session); elsewhere
// when DISPLAY or WAYLAND_DISPLAY names a display.
bool DisplayAvailable() noexcept;

}  // namespace tavrin::platform
