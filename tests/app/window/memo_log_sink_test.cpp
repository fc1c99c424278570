// The log box as a sink of the activity log: lines from many threads shown whole, in
// the log's order, on the GUI thread; the newest line scrolled into view; lines that
// arrive after the box or the sink is gone are dropped.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextBlock>

#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/activity_log.h"
#include "app/window/memo_log_sink.h"

namespace tavrin {
namespace {

class TMidnightClock final : public platform::ILocalClock {
 public:
  platform::TLocalDateTime Now() override { return {2013, 3, 25, 0, 0, 0, 0}; }
};

class TPlainFormat final : public platform::IRegionalFormat {
 public:
  std::string ShortDate(const platform::TLocalDateTime&) override { return "25/03/2013"; }
  std::string LongTime(const platform::TLocalDateTime&) override { return "00:00:00"; }
};

// Keeps every line in the order the log delivered them.
class TLines final : public IActivityLogSink {
 public:
  std::vector<std::string> Lines;
  void AddLine(const std::string& Line) override { Lines.push_back(Line); }
};

std::vector<std::string> LinesOf(const QPlainTextEdit& Memo) {
  std::vector<std::string> Lines;
  for (const QString& Line : Memo.toPlainText().split(QLatin1Char('\n'))) {
    Lines.push_back(Line.toStdString());
  }
  return Lines;
}

TEST(MemoLogSink, LinesFromManyThreadsShowWholeInTheOrderTheLogDeliveredThem) {
  constexpr int kThreads = 20;
  constexpr int kLinesEach = 50;
  TMidnightClock Clock;
  TPlainFormat Format;
  TActivityLog Log(Clock, Format);
  QPlainTextEdit Memo;
  TMemoLogSink Sink(Memo);
  TLines Delivered;
  Log.Attach(Sink);
  Log.Attach(Delivered);

  std::vector<std::thread> Writers;
  for (int Thread = 0; Thread < kThreads; ++Thread) {
    Writers.emplace_back([&Log, Thread] {
      for (int Line = 0; Line < kLinesEach; ++Line) {
        Log.Append(" - Conexão do endereço " + std::to_string(Thread) + " " + std::to_string(Line));
      }
    });
  }
  for (std::thread& Writer : Writers) Writer.join();
  EXPECT_TRUE(Memo.toPlainText().isEmpty());  // shown by the GUI thread only
  QCoreApplication::processEvents();
  Log.Detach(Sink);
  Log.Detach(Delivered);

  const std::vector<std::string> Shown = LinesOf(Memo);
  ASSERT_EQ(Shown.size(), std::size_t{kThreads * kLinesEach});
  EXPECT_EQ(Shown, Delivered.Lines);
  std::vector<int> Next(kThreads, 0);
  for (const std::string& Line : Shown) {
    std::istringstream Parts(Line);
    std::string Date, Dash, Word1, Word2, Word3;
    int Thread = -1;
    int Index = -1;
    Parts >> Date >> Dash >> Word1 >> Word2 >> Word3 >> Thread >> Index;
    ASSERT_EQ(Date + " " + Dash + " " + Word1 + " " + Word2 + " " + Word3,
              "25/03/2013 - Conexão do endereço")
        << Line;
    ASSERT_TRUE(Thread >= 0 && Thread < kThreads) << Line;
    EXPECT_EQ(Index, Next[static_cast<std::size_t>(Thread)]++) << Line;
    EXPECT_TRUE(Parts.eof()) << Line;
  }
}

TEST(MemoLogSink, NewLineIsScrolledIntoViewEvenAfterTheOperatorScrolledUp) {
  QPlainTextEdit Memo;
  Memo.resize(300, 200);
  Memo.show();
  TMemoLogSink Sink(Memo);
  for (int Line = 0; Line < 100; ++Line) Sink.AddLine("line " + std::to_string(Line));
  QCoreApplication::processEvents();
  Memo.verticalScrollBar()->setValue(0);
  Sink.AddLine("newest");
  QCoreApplication::processEvents();
  EXPECT_GT(Memo.verticalScrollBar()->value(), 0);
  EXPECT_TRUE(Memo.textCursor().atEnd());
  EXPECT_EQ(Memo.textCursor().block().text(), QStringLiteral("newest"));
  EXPECT_TRUE(Memo.viewport()->rect().contains(Memo.cursorRect()))
      << Memo.cursorRect().y() << " in " << Memo.viewport()->height();
}

TEST(MemoLogSink, LineArrivingAfterTheBoxIsGoneIsDropped) {
  // The text lives in a document of the test's own, so it can be read after the box went.
  QTextDocument Document;
  Document.setDocumentLayout(new QPlainTextDocumentLayout(&Document));
  auto Memo = std::make_unique<QPlainTextEdit>();
  Memo->setDocument(&Document);
  TMemoLogSink Sink(*Memo);
  Sink.AddLine("first");
  QCoreApplication::processEvents();
  ASSERT_EQ(Document.toPlainText(), QStringLiteral("first"));
  Sink.AddLine("second");
  Memo.reset();
  QCoreApplication::processEvents();  // must not touch the destroyed box
  Sink.AddLine("third");
  QCoreApplication::processEvents();
  EXPECT_EQ(Document.toPlainText(), QStringLiteral("first"));
}

TEST(MemoLogSink, LinesWaitingWhenTheSinkGoesAreDropped) {
  QPlainTextEdit Memo;
  {
    TMemoLogSink Sink(Memo);
    Sink.AddLine("waiting");
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(Memo.toPlainText().isEmpty());
}

}  // namespace
}  // namespace tavrin
