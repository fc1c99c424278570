// The activity log: the line's time stamp and message, and appends from many threads
// arriving whole, one at a time, in order, at the sinks attached at that moment.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

#include "shell/activity_log.h"
#include "shell/stream_log_sink.h"

namespace tavrin {
namespace {

using platform::TLocalDateTime;

std::string TwoDigits(int Value) {
  return std::string(1, static_cast<char>('0' + Value / 10)) +
         static_cast<char>('0' + Value % 10);
}

// Day/month/year dates and a 24-hour clock.
class TBrazilianFormat final : public platform::IRegionalFormat {
 public:
  std::string ShortDate(const TLocalDateTime& When) override {
    return TwoDigits(When.Day) + "/" + TwoDigits(When.Month) + "/" + std::to_string(When.Year);
  }
  std::string LongTime(const TLocalDateTime& When) override {
    return TwoDigits(When.Hour) + ":" + TwoDigits(When.Minute) + ":" + TwoDigits(When.Second);
  }
};

class TFixedClock final : public platform::ILocalClock {
 public:
  TLocalDateTime Time;
  TLocalDateTime Now() override { return Time; }
};

class TLines final : public IActivityLogSink {
 public:
  std::vector<std::string> Lines;
  void AddLine(const std::string& Line) override { Lines.push_back(Line); }
};

TEST(ActivityLog, LineIsTheRegionalDateTimeThenTheMessage) {
  struct TCase {
    TLocalDateTime When;
    std::string Message;
    std::string Line;
  };
  const TCase Cases[] = {
      {{2013, 3, 25, 14, 5, 9, 0}, " - Servidor inicializado",
       "25/03/2013 14:05:09 - Servidor inicializado"},
      {{2013, 3, 25, 0, 0, 0, 0}, " - Conexão do endereço 10.0.0.7",
       "25/03/2013 - Conexão do endereço 10.0.0.7"},  // exactly midnight: the date alone
      {{2013, 3, 25, 0, 0, 0, 1}, " - Login OK", "25/03/2013 00:00:00 - Login OK"},
      {{2013, 3, 26, 0, 0, 1, 0}, " - Usuário \"a\"b\" fazendo login",
       "26/03/2013 00:00:01 - Usuário \"a\"b\" fazendo login"},
  };
  TFixedClock Clock;
  TBrazilianFormat Format;
  TActivityLog Log(Clock, Format);
  TLines Sink;
  Log.Attach(Sink);
  for (const auto& Case : Cases) {
    Clock.Time = Case.When;
    Log.Append(Case.Message);
  }
  ASSERT_EQ(Sink.Lines.size(), std::size(Cases));
  for (std::size_t i = 0; i < Sink.Lines.size(); ++i) EXPECT_EQ(Sink.Lines[i], Cases[i].Line);
}

// Each reading is one second later than the one before, and the time shows the count.
class TTickingClock final : public platform::ILocalClock {
 public:
  TLocalDateTime Now() override {
    const int Tick = ++FTicks;
    return {2013, 3, 25, Tick / 3600, Tick / 60 % 60, Tick % 60, 0};
  }

 private:
  std::atomic<int> FTicks{0};
};

// Records lines, and counts any line that arrives while another is being added.
class TOverlapSink final : public IActivityLogSink {
 public:
  std::vector<std::string> Lines;
  std::atomic<int> Inside{0};
  std::atomic<int> Overlaps{0};
  void AddLine(const std::string& Line) override {
    if (Inside.fetch_add(1) != 0) ++Overlaps;
    std::this_thread::yield();
    Lines.push_back(Line);
    Inside.fetch_sub(1);
  }
};

TEST(ActivityLog, ConcurrentAppendsArriveWholeOneAtATimeInOrder) {
  constexpr int kWriters = 6;
  constexpr int kLinesEach = 400;
  TTickingClock Clock;
  TBrazilianFormat Format;
  TActivityLog Log(Clock, Format);
  TOverlapSink Sink;
  Log.Attach(Sink);
  std::vector<std::thread> Writers;
  for (int w = 0; w < kWriters; ++w) {
    Writers.emplace_back([&Log, w] {
      for (int i = 0; i < kLinesEach; ++i) {
        Log.Append(" - writer " + std::to_string(w) + " line " + std::to_string(i) + " end");
      }
    });
  }
  for (auto& Writer : Writers) Writer.join();

  EXPECT_EQ(Sink.Overlaps.load(), 0);
  ASSERT_EQ(Sink.Lines.size(), std::size_t{kWriters * kLinesEach});
  std::vector<int> Next(kWriters, 0);
  std::string Previous;
  for (const auto& Line : Sink.Lines) {
    int Hour = 0, Minute = 0, Second = 0, Writer = -1, Index = -1;
    char End[4] = {};
    ASSERT_EQ(std::sscanf(Line.c_str(), "25/03/2013 %d:%d:%d - writer %d line %d %3s", &Hour,
                          &Minute, &Second, &Writer, &Index, End),
              6)
        << Line;
    ASSERT_EQ(std::string(End), "end") << Line;
    ASSERT_TRUE(Writer >= 0 && Writer < kWriters) << Line;
    EXPECT_EQ(Index, Next[static_cast<std::size_t>(Writer)]++) << Line;  // each writer's order
    // The stamps follow the order of the lines.
    const std::string Stamp = Line.substr(0, Line.find(" - "));
    EXPECT_LT(Previous, Stamp);
    Previous = Stamp;
  }
}

class TThrowingSink final : public IActivityLogSink {
 public:
  void AddLine(const std::string&) override { throw std::runtime_error("window gone"); }
};

TEST(ActivityLog, ASinkThatFailsCostsOnlyItsOwnCopy) {
  TFixedClock Clock;
  Clock.Time = {2013, 3, 25, 14, 5, 9, 0};
  TBrazilianFormat Format;
  TActivityLog Log(Clock, Format);
  TThrowingSink Broken;
  TLines Sink;
  Log.Attach(Broken);
  Log.Attach(Sink);
  Log.Append(" - a");
  Log.Append(" - b");
  EXPECT_EQ(Sink.Lines, (std::vector<std::string>{"25/03/2013 14:05:09 - a", "25/03/2013 14:05:09 - b"}));
}

// A sink that must not be called once it is marked gone (its window destroyed).
class TGoneSink final : public IActivityLogSink {
 public:
  std::atomic<bool> Gone{false};
  std::atomic<int> Lines{0};
  std::atomic<int> CalledWhenGone{0};
  void AddLine(const std::string&) override {
    std::this_thread::yield();
    if (Gone.load()) ++CalledWhenGone;
    ++Lines;
  }
};

TEST(ActivityLog, ADetachedSinkIsNeverCalledAgainWhileOthersWrite) {
  TFixedClock Clock;
  TBrazilianFormat Format;
  TActivityLog Log(Clock, Format);
  TGoneSink Window;
  TLines Remaining;
  Log.Attach(Window);
  Log.Attach(Remaining);
  std::atomic<bool> Stop{false};
  std::atomic<int> Written{0};
  std::thread Writer([&] {
    while (!Stop.load()) {
      Log.Append(" - Banco de dados conectado");
      ++Written;
    }
  });
  while (Window.Lines.load() < 50) std::this_thread::yield();
  Log.Detach(Window);
  Window.Gone = true;
  const int AtDetach = Written.load();
  while (Written.load() < AtDetach + 200) std::this_thread::yield();
  Stop = true;
  Writer.join();
  EXPECT_EQ(Window.CalledWhenGone.load(), 0);
  EXPECT_GE(Remaining.Lines.size(), std::size_t(AtDetach + 200));
}

TEST(StreamLogSink, WritesEachLineOnItsOwnLine) {
  TFixedClock Clock;
  Clock.Time = {2013, 3, 25, 0, 0, 0, 0};
  TBrazilianFormat Format;
  TActivityLog Log(Clock, Format);
  std::ostringstream Out;
  TStreamLogSink Sink(Out);
  Log.Attach(Sink);
  Log.Append(" - Servidor inicializado");
  Log.Append(" - Desconectado do IP ::1");
  EXPECT_EQ(Out.str(), "25/03/2013 - Servidor inicializado\n25/03/2013 - Desconectado do IP ::1\n");
}

}  // namespace
}  // namespace tavrin
