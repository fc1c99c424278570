#pragma once
// The activity log's sink for the Win32 window's log box: a line from any thread joins
// the window's line queue, and a message posted to the window wakes its thread, which
// adds the waiting lines to the box, whole and in the order they came. No connection
// thread touches a control. Once the window is gone its queue is closed: lines are
// dropped, and nothing is left behind in a message.

#include <windows.h>

#include <memory>

#include "app/window_win32/log_line_queue.h"
#include "shell/activity_log.h"

namespace tavrin {

class TWindowLogSink final : public IActivityLogSink {
 public:
  // Window: the window whose thread shows the lines, woken with Message; Queue: the
  // window's line queue.
  TWindowLogSink(HWND Window, UINT Message, std::shared_ptr<TLogLineQueue> Queue)
      : FWindow(Window), FMessage(Message), FQueue(std::move(Queue)) {}

  // Any thread: hands Line over and returns at once.
  void AddLine(const std::string& Line) override;

 private:
  const HWND FWindow;
  const UINT FMessage;
  const std::shared_ptr<TLogLineQueue> FQueue;
};

}  // namespace tavrin
