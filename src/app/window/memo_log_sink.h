#pragma once
// The activity log's sink for the window's log box: each line is handed to the GUI
// thread and added there as the box's new last line, which is scrolled into view.
// Lines show in the order the log delivered them (it delivers one at a time); a line
// that reaches the GUI thread after the box is gone is dropped.

#include <QObject>
#include <QPointer>

#include "shell/activity_log.h"

class QPlainTextEdit;

namespace tavrin {

class TMemoLogSink final : public IActivityLogSink {
 public:
  // Create it on the GUI thread. Memo may be destroyed before the sink; detach the sink
  // from every log before destroying it (lines handed over and not yet shown are then
  // dropped).
  explicit TMemoLogSink(QPlainTextEdit& Memo);
  TMemoLogSink(const TMemoLogSink&) = delete;
  TMemoLogSink& operator=(const TMemoLogSink&) = delete;

  // Any thread: hands Line over and returns at once, without waiting for it to show.
  void AddLine(const std::string& Line) override;

 private:
  // Set once, on the GUI thread, before any line comes; other threads only copy it,
  // and the copy is looked at on the GUI thread alone.
  const QPointer<QPlainTextEdit> FMemo;
  // Lives on the GUI thread; the lines handed over run there in its name, and those
  // still waiting when it is destroyed go with it.
  QObject FReceiver;
};

}  // namespace tavrin
