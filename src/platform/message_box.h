#pragma once
// The system's own error box, for a program without a window of its own: on Windows a
// modal MessageBoxW (error icon, one OK button); elsewhere, where the window's toolkit
// shows the boxes, a line "Caption: Text" on standard error stands in for it.

#include <string>

namespace tavrin::platform {

// Shows the box with Caption and Text (UTF-8) and returns when the operator has closed
// it. Any thread; a failure to show it is not reported (the text is lost, nothing
// else).
void ShowErrorBox(const std::string& Caption, const std::string& Text) noexcept;

}  // namespace tavrin::platform
