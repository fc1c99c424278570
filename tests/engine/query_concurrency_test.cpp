// Several connection threads querying one database at once: every query gets its
// answer, an open result holds nothing that stops the others (in a file with a
// write-ahead log, as the demo data has; without one, writers wait for a result still
// being read, see query.h), and a writer's open transaction does not stop readers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/database_fixture.h"
#include "dataset/database_error.h"
#include "engine/table_protection.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

constexpr int kThreads = 4;
constexpr int kRoundsPerThread = 40;
constexpr int kProducts = 200;

class QueryConcurrencyTest : public TDatabaseFixture {
 protected:
  void SetUp() override {
    std::string Sql =
        "create table tabuser (nome varchar(30), senha varchar(20), nivel integer);"
        "create table tabest1 (codigo integer primary key, produto varchar(60), quantidade double);";
    for (int User = 0; User < kThreads; ++User) {
      Sql += "insert into tabuser values ('U" + std::to_string(User) + "', 'S', " + std::to_string(User + 1) + ");";
    }
    for (int Code = 1; Code <= kProducts; ++Code) {
      Sql += "insert into tabest1 values (" + std::to_string(Code) + ", 'Produto nº " + std::to_string(Code) + "', 1);";
    }
    CreateDatabase(Sql);
    TSqliteConnection Connection(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
    ProtectTable(Connection, "tabuser", "wendolq");
  }
};

TEST_F(QueryConcurrencyTest, ThreadsLoggingInAndWritingAtOnceAllGetTheirAnswers) {
  std::atomic<int> Failures{0};
  std::atomic<bool> ReadersDone{false};
  std::vector<std::thread> Threads;
  for (int User = 0; User < kThreads; ++User) {
    Threads.emplace_back([&, User] {
      auto Login = MakeQuery("select nivel from tabuser where upper(nome)=:pNome and upper(senha)=:pSenha");
      auto Products = MakeQuery("select codigo, produto from tabest1 order by codigo");
      for (int Round = 0; Round < kRoundsPerThread; ++Round) {
        try {
          FSession.SetNetFileDir(Folder());  // as every login does, on the shared session
          FSession.AddPassword("wendolq");
          Login->ParamByName("pNome").SetAsString("U" + std::to_string(User));
          Login->ParamByName("pSenha").SetAsString("S");
          Login->Open();
          if (Login->RecordCount() != 1 || Login->Fields(0).AsInteger() != User + 1) ++Failures;
          Login->Close();
          Products->Open();
          if (Products->RecordCount() != kProducts) ++Failures;
          Products->Close();
        } catch (const EDatabaseError& e) {
          ADD_FAILURE() << e.what();
          ++Failures;
        }
      }
    });
  }
  // A writer changes the products all the while.
  std::thread Writer([&] {
    auto Update = MakeQuery("update tabest1 set quantidade = quantidade + 1 where codigo = :c");
    try {
      for (int Code = 1; !ReadersDone; Code = Code % kProducts + 1) {
        Update->ParamByName("c").SetAsInteger(Code);
        Update->ExecSQL();
      }
    } catch (const EDatabaseError& e) {
      ADD_FAILURE() << e.what();
    }
  });
  for (std::thread& Thread : Threads) Thread.join();
  ReadersDone = true;
  Writer.join();
  EXPECT_EQ(Failures, 0);
}

TEST_F(QueryConcurrencyTest, AnOpenResultHoldsNothingThatStopsOtherThreads) {
  FSession.AddPassword("wendolq");
  auto Paging = MakeQuery("select codigo, quantidade from tabest1 order by codigo");
  Paging->Open();
  Paging->Next();  // a client half-way through its pages

  std::thread Other([&] {
    auto Update = MakeQuery("update tabest1 set quantidade = 99");
    Update->ExecSQL();
    auto Read = MakeQuery("select quantidade from tabest1 where codigo = 1");
    Read->Open();
    EXPECT_EQ(Read->Fields(0).AsInteger(), 99);
  });
  Other.join();
  // The open result keeps the rows it read.
  EXPECT_EQ(Paging->RecordCount(), kProducts);
  EXPECT_EQ(Paging->Fields(1).AsInteger(), 1);
}

TEST_F(QueryConcurrencyTest, ReadersGoOnWhileAWriterHoldsItsTransaction) {
  TSqliteConnection Writer(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
  Writer.Execute("begin immediate; update tabest1 set quantidade = 50");

  // A reader the writer locked out would wait for the busy time-out and then fail.
  auto Read = MakeQuery("select sum(quantidade) from tabest1");
  Read->Open();
  EXPECT_EQ(Read->Fields(0).AsInteger(), kProducts);  // the committed values
  Read->Close();

  Writer.Execute("commit");
  Read->Open();
  EXPECT_EQ(Read->Fields(0).AsInteger(), 50 * kProducts);
}

}  // namespace
}  // namespace tavrin
