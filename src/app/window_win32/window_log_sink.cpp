#include "app/window_win32/window_log_sink.h"

namespace tavrin {

void TWindowLogSink::AddLine(const std::string& Line) {
  if (FQueue->Push(Line) != TLogLineQueue::TPushed::WakeNeeded) return;
  // The message carries nothing: the lines stay in the queue, so a message the system
  // drops (the window destroyed, its queue full) loses no memory.
  if (!PostMessageW(FWindow, FMessage, 0, 0)) FQueue->WakeFailed();
}

}  // namespace tavrin
