#pragma once
// The lines the activity log hands to the window, waiting for the window's thread. Any
// thread pushes; the window's thread takes them all at once, in the order pushed. Once
// the window is gone the queue is closed and further lines are dropped; the lines still
// waiting go with the queue, whoever lets go of it last.

#include <mutex>
#include <string>
#include <vector>

namespace tavrin {

class TLogLineQueue {
 public:
  enum class TPushed {
    Dropped,     // the queue is closed: the window is gone
    Waiting,     // a wake-up for the window's thread is already on its way
    WakeNeeded,  // the caller must wake the window's thread (then call WakeFailed if it could not)
  };

  // Any thread.
  TPushed Push(std::string Line);
  // The caller's wake-up did not reach the window: the next push asks again.
  void WakeFailed();
  // The window's thread: every waiting line, oldest first; the next push asks for a
  // wake-up again.
  std::vector<std::string> TakeAll();
  // The window is gone: drops what waits and every later line.
  void Close();

 private:
  std::mutex FLock;  // guards the three below
  std::vector<std::string> FLines;
  bool FWakePending = false;
  bool FClosed = false;
};

}  // namespace tavrin
