#include "app/window_win32/log_line_queue.h"

#include <utility>

namespace tavrin {

TLogLineQueue::TPushed TLogLineQueue::Push(std::string Line) {
  const std::lock_guard<std::mutex> Guard(FLock);
  if (FClosed) return TPushed::Dropped;
  FLines.push_back(std::move(Line));
  if (FWakePending) return TPushed::Waiting;
  FWakePending = true;
  return TPushed::WakeNeeded;
}

void TLogLineQueue::WakeFailed() {
  const std::lock_guard<std::mutex> Guard(FLock);
  FWakePending = false;
}

std::vector<std::string> TLogLineQueue::TakeAll() {
  const std::lock_guard<std::mutex> Guard(FLock);
  FWakePending = false;
  return std::exchange(FLines, {});
}

void TLogLineQueue::Close() {
  const std::lock_guard<std::mutex> Guard(FLock);
  FClosed = true;
  FLines.clear();
}

}  // namespace tavrin
