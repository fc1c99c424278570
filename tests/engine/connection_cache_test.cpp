// The connections a session keeps: one per thread, kept across statements and closed
// when the thread parks or ends, after their idle lifetime and at a stop; a replaced
// file, another folder or a damaged file gets a fresh one at the next statement; a
// failed statement leaves the next one unharmed; and a password added or removed on
// one thread counts on the others at their next statement.

#include "engine/connection_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "dataset/database_error.h"
#include "engine/database_fixture.h"
#include "engine/table_protection.h"
#include "platform/thread_resources.h"
#include "support/eventually.h"
#include "support/temp_folder.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

// A thread that stays and runs what it is given, one thing at a time, as a connection
// thread serves one request after another.
class TWorkerThread {
 public:
  TWorkerThread() : FThread([this] { Loop(); }) {}
  ~TWorkerThread() {
    {
      std::lock_guard Guard(FLock);
      FQuit = true;
    }
    FWake.notify_all();
    FThread.join();
  }
  // Runs Work on the thread and returns what it returned.
  std::string Run(std::function<std::string()> Work) {
    std::unique_lock Guard(FLock);
    FWork = std::move(Work);
    FDone = false;
    FWake.notify_all();
    FWake.wait(Guard, [this] { return FDone; });
    return FResult;
  }

 private:
  void Loop() {
    std::unique_lock Guard(FLock);
    for (;;) {
      FWake.wait(Guard, [this] { return FQuit || FWork; });
      if (!FWork) return;
      const std::function<std::string()> Work = std::move(FWork);
      FWork = nullptr;
      Guard.unlock();
      std::string Result = Work();
      Guard.lock();
      FResult = std::move(Result);
      FDone = true;
      FWake.notify_all();
    }
  }

  std::mutex FLock;  // guards every member below but FThread
  std::condition_variable FWake;
  std::function<std::string()> FWork;
  std::string FResult;
  bool FDone = false;
  bool FQuit = false;
  std::thread FThread;
};

// A database file made with Sql, in the rollback-journal mode a file on a share has.
void MakeDatabase(const std::filesystem::path& File, const std::string& Sql) {
  TSqliteConnection Connection(File.string(), TSqliteConnection::TOpenMode::CreateIfMissing);
  Connection.Execute(Sql);
}

class ConnectionCacheTest : public TDatabaseFixture {
 protected:
  void SetUp() override {
    MakeDatabase(DatabaseFile(),
                 "create table tabuser (nome varchar(30), nivel integer);"
                 "insert into tabuser values ('ADMIN', 9);"
                 "create table notas (codigo integer primary key, texto text, v integer);"
                 "insert into notas values (1, 'um', 1), (2, 'dois', -9223372036854775808);");
    ASSERT_EQ(TSqliteConnection::OpenCount(), 0);
  }

  // The first row's first column as text, or the failure's message.
  std::string Read(const std::string& Sql, const std::string& DatabaseName = {}) {
    try {
      auto Query = MakeQuery(Sql);
      if (!DatabaseName.empty()) Query->SetDatabaseName(DatabaseName);
      Query->Open();
      return Query->Fields(0).AsString();
    } catch (const EDatabaseError& e) {
      return e.what();
    }
  }
};

TEST_F(ConnectionCacheTest, EachThreadKeepsItsOwnConnectionUntilItParksOrEnds) {
  const std::int64_t OpenedBefore = TSqliteConnection::OpenedCount();
  auto First = std::make_unique<TWorkerThread>();
  auto Second = std::make_unique<TWorkerThread>();
  for (int Round = 0; Round < 3; ++Round) EXPECT_EQ(First->Run([&] { return Read("select texto from notas"); }), "um");
  EXPECT_EQ(TSqliteConnection::OpenCount(), 1);
  EXPECT_EQ(Second->Run([&] { return Read("select nome from tabuser"); }), "ADMIN");
  EXPECT_EQ(TSqliteConnection::OpenCount(), 2);
  EXPECT_EQ(FSession.Connections().KeptCount(), 2u);
  EXPECT_EQ(TSqliteConnection::OpenedCount() - OpenedBefore, 2);

  // Parking in a pool gives the thread's connection back; the next statement opens one.
  First->Run([] {
    platform::ReleaseThreadResources();
    return std::string();
  });
  EXPECT_EQ(TSqliteConnection::OpenCount(), 1);
  EXPECT_EQ(First->Run([&] { return Read("select texto from notas"); }), "um");
  EXPECT_EQ(TSqliteConnection::OpenCount(), 2);

#if defined(_WIN32)
  // There a thread's connection goes at its release, after its idle lifetime or with its
  // session, not at the thread's end.
  Second.reset();
  First.reset();
  FSession.Connections().ReleaseAll();
  EXPECT_EQ(TSqliteConnection::OpenCount(), 0);
#else
  Second.reset();  // a thread that ends takes its connection with it
  EXPECT_EQ(TSqliteConnection::OpenCount(), 1);
  First.reset();
  EXPECT_EQ(TSqliteConnection::OpenCount(), 0);
#endif
}

TEST_F(ConnectionCacheTest, AConnectionGoesAfterItsIdleLifetimeAtReleaseAllAndWithItsSession) {
  FSession.Connections().SetIdleLifetime(std::chrono::milliseconds(50));
  EXPECT_EQ(Read("select texto from notas"), "um");
  EXPECT_TRUE(Eventually([] { return TSqliteConnection::OpenCount() == 0; }));
  EXPECT_EQ(FSession.Connections().KeptCount(), 0u);

  FSession.Connections().SetIdleLifetime(std::chrono::hours(1));
  EXPECT_EQ(Read("select texto from notas"), "um");
  EXPECT_EQ(TSqliteConnection::OpenCount(), 1);
  FSession.Connections().ReleaseAll();
  EXPECT_EQ(TSqliteConnection::OpenCount(), 0);

  {
    TSession Other;
    TQuery Query(Other);
    Query.SetDatabaseName(Folder());
    Query.SQL().Add("select texto from notas");
    Query.Open();
    Query.Close();
    EXPECT_EQ(TSqliteConnection::OpenCount(), 1);
  }
  EXPECT_EQ(TSqliteConnection::OpenCount(), 0);
}

TEST_F(ConnectionCacheTest, AReplacedFileOrAnotherFolderIsReadAtTheNextStatement) {
  const TTempFolder Second, Spare;
  MakeDatabase(Second.Path() / TDatabaseFiles::kDatabaseFileName, "create table notas (texto text); insert into notas values ('outra pasta');");
  const std::filesystem::path Replacement = Spare.Path() / "novo.db";
  MakeDatabase(Replacement, "create table notas (texto text); insert into notas values ('arquivo novo');");

  EXPECT_EQ(Read("select texto from notas"), "um");
#ifdef _WIN32
  // Windows does not let a file open elsewhere be replaced: a shop replaces it while the
  // server holds no connection, as after this thread parked.
  platform::ReleaseThreadResources();
#endif
  std::filesystem::rename(Replacement, DatabaseFile());
  EXPECT_EQ(Read("select texto from notas"), "arquivo novo");
  EXPECT_EQ(Read("select texto from notas", Second.Path().string()), "outra pasta");
  EXPECT_EQ(TSqliteConnection::OpenCount(), 1);  // each one before was closed

#ifdef _WIN32
  platform::ReleaseThreadResources();
#endif
  std::filesystem::remove(DatabaseFile());
  EXPECT_EQ(Read("select texto from notas"), "Database file not found: " + DatabaseFile());
}

TEST_F(ConnectionCacheTest, AFailedStatementLeavesTheNextOneUnharmed) {
  const std::int64_t OpenedBefore = TSqliteConnection::OpenedCount();
  const std::function<void()> Failures[] = {
      [&] { MakeQuery("selec texto from notas")->Open(); },
      [&] { MakeQuery("select texto from tabela_nenhuma")->Open(); },
      [&] { MakeQuery("insert into notas (codigo) values (1)")->ExecSQL(); },
      [&] {
        // Fails at its second row, while the caller reads.
        auto Query = MakeQuery("select abs(v) from notas order by codigo");
        Query->Open();
        Query->Next();
      },
  };
  for (const auto& Failure : Failures) {
    EXPECT_THROW(Failure(), EDatabaseError);
    EXPECT_EQ(Read("select texto from notas where codigo = 2"), "dois");
  }
  EXPECT_EQ(TSqliteConnection::OpenedCount() - OpenedBefore, 1);  // none of these spoils the connection

  // A damaged file fails the statement; once it is whole again a fresh connection reads
  // it.
  std::string Whole;
  {
    std::ifstream In(DatabaseFile(), std::ios::binary);
    Whole.assign(std::istreambuf_iterator<char>(In), {});
  }
  const auto Overwrite = [&](const std::string& Bytes) {
    std::fstream Out(DatabaseFile(), std::ios::binary | std::ios::in | std::ios::out);
    Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  };
  Overwrite(std::string(Whole.size(), '\xFF'));
  EXPECT_EQ(Read("select texto from notas"), "Statement failed: file is not a database");
  Overwrite(Whole);
  EXPECT_EQ(Read("select texto from notas"), "um");
  EXPECT_EQ(TSqliteConnection::OpenedCount() - OpenedBefore, 2);
}

TEST_F(ConnectionCacheTest, APasswordOrAProtectionChangedElsewhereCountsAtEachThreadsNextStatement) {
  constexpr char kPassword[] = "wendolq";
  constexpr char kRefused[] = "Password required for table: tabuser";
  {
    TSqliteConnection Writer(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
    ProtectTable(Writer, "tabuser", kPassword);
  }
  TWorkerThread First, Second;
  const auto ReadOn = [&](TWorkerThread& Thread, const std::string& Sql) {
    return Thread.Run([&, Sql] { return Read(Sql); });
  };
  EXPECT_EQ(ReadOn(First, "select nome from tabuser"), kRefused);
  EXPECT_EQ(ReadOn(Second, "select nome from tabuser"), kRefused);

  First.Run([&] {
    FSession.AddPassword(kPassword);
    return std::string();
  });
  EXPECT_EQ(ReadOn(Second, "select nome from tabuser"), "ADMIN");
  EXPECT_EQ(ReadOn(First, "select nome from tabuser"), "ADMIN");

  // A kept statement does not outlive the password that let it be prepared.
  FSession.RemovePassword(kPassword);
  EXPECT_EQ(ReadOn(First, "select nome from tabuser"), kRefused);
  EXPECT_EQ(ReadOn(Second, "select nome from tabuser"), kRefused);
  FSession.AddPassword(kPassword);

  // A table protected through another connection is locked at the next statement, for
  // the statements each thread has kept too.
  const auto Write = [&](const std::string& Sql) {
    return First.Run([&, Sql] {
      try {
        MakeQuery(Sql)->ExecSQL();
        return std::string("ok");
      } catch (const EDatabaseError& e) {
        return std::string(e.what());
      }
    });
  };
  EXPECT_EQ(ReadOn(First, "select texto from notas"), "um");
  EXPECT_EQ(Write("update notas set v = 0 where codigo = 1"), "ok");
  auto Reading = MakeQuery("select texto from notas order by codigo");
  Reading->Open();
  Reading->Next();  // past the first row, which is not kept,
  Reading->Next();  // and past the end: the read of the file is over
  {
    TSqliteConnection Writer(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
    ProtectTable(Writer, "notas", "outra");
  }
  EXPECT_EQ(Write("update notas set v = 0 where codigo = 1"), "Password required for table: notas");
  EXPECT_EQ(ReadOn(First, "select texto from notas"), "Password required for table: notas");
  EXPECT_THROW(Reading->First(), EDatabaseError);  // reading it again would read it anew
  EXPECT_EQ(ReadOn(Second, "select nome from tabuser"), "ADMIN");
  Reading.reset();
  EXPECT_EQ(TSqliteConnection::OpenCount(), 3);  // all of it on the threads' kept connections
}

}  // namespace
}  // namespace tavrin
