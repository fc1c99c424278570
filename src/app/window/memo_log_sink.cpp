#include "app/window/memo_log_sink.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace tavrin {

TMemoLogSink::TMemoLogSink(QPlainTextEdit& Memo) : FMemo(&Memo) {}

void TMemoLogSink::AddLine(const std::string& Line) {
  // Queued events to one receiver run in the order they were posted, and the log posts
  // one line at a time: the box gets the lines in the log's order.
  QMetaObject::invokeMethod(
      &FReceiver,
      [Memo = FMemo, Text = QString::fromStdString(Line)] {
        if (Memo.isNull()) return;  // the window is gone: nowhere to show the line
        Memo->appendPlainText(Text);
        Memo->moveCursor(QTextCursor::End);
        Memo->ensureCursorVisible();
      },
      Qt::QueuedConnection);
}

}  // namespace tavrin
