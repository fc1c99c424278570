// The resolver's write transaction on SQLite: it takes the write lock at its start and
// waits for another writer, then says clearly that nothing was applied; it refuses to
// start over a read still open on its connection; its commits are durable; a row can be
// undone alone; a rollback leaves the table as it was.

#include "engine/write_transaction.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "dataset/database_error.h"
#include "engine/database_fixture.h"
#include "engine/query_provider_support.h"
#include "support/error_of.h"

namespace tavrin::testing {
namespace {

class WriteTransactionTest : public TDatabaseFixture {
 protected:
  WriteTransactionTest() { CreateDatabase("create table caixa (id integer primary key, valor real); insert into caixa values (1, 10)"); }
  double Valor() {
    TSqliteConnection Connection(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
    TSqliteStatement Statement;
    std::string_view Tail;
    Statement.Prepare(Connection, "select valor from caixa where id = 1", Tail);
    EXPECT_TRUE(Statement.Step());
    return std::get<double>(Statement.ColumnValue(0));
  }
};

TEST_F(WriteTransactionTest, CommittedRowsStayRolledBackRowsGoAndAnUndoneRowGoesAlone) {
  {
    TWriteTransaction Transaction(FSession, Folder());
    EXPECT_EQ(Transaction.Execute("update caixa set valor = ? where id = ?", {20.5, std::int64_t{1}}), 1);
    Transaction.MarkRow();
    EXPECT_EQ(Transaction.Execute("update caixa set valor = ?", {99.0}), 1);
    Transaction.RowDone(false);
    // The commit is durable: the connection syncs at every commit.
    const TSelectedRows Sync = Transaction.Select("pragma synchronous", {}, 1);
    EXPECT_EQ(std::get<std::int64_t>(Sync.at(0).at(0)), 2);  // FULL
    Transaction.Commit();
  }
  EXPECT_EQ(Valor(), 20.5);
  {
    TWriteTransaction Transaction(FSession, Folder());
    Transaction.Execute("update caixa set valor = ?", {1.0});
    // Going without a commit rolls back.
  }
  EXPECT_EQ(Valor(), 20.5);
}

TEST_F(WriteTransactionTest, ASecondWriterWaitsForTheFirstAndGivesUpWithAClearErrorAfterTheBusyTime) {
  TSqliteConnection Other(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
  Other.Execute("begin immediate");
  // Released in time: the writer waits and goes on.
  std::thread Releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Other.Execute("commit");
  });
  {
    const auto Start = std::chrono::steady_clock::now();
    TWriteTransaction Transaction(FSession, Folder());
    EXPECT_GE(std::chrono::steady_clock::now() - Start, std::chrono::milliseconds(250));
    Transaction.Execute("update caixa set valor = ?", {11.0});
    Transaction.Commit();
  }
  Releaser.join();
  // Held past the busy time: a clear error, and the writer holds nothing afterwards.
  Other.Execute("begin immediate");
  EXPECT_EQ(ErrorOf([&] { TWriteTransaction Transaction(FSession, Folder()); }).Message(),
            TWriteTransactionMessages::kLocked);
  Other.Execute("rollback");
  TWriteTransaction After(FSession, Folder());
  After.Commit();
  EXPECT_EQ(Valor(), 11.0);
}

TEST_F(WriteTransactionTest, AReadStillOpenOnTheConnectionIsRefusedBeforeTheLockIsTaken) {
  CreateDatabase("insert into caixa values (2, 1), (3, 1)");
  auto Query = MakeQuery("select id from caixa");
  Query->Open();  // reads the first row only: the read stays open
  EXPECT_EQ(ErrorOf([&] { TWriteTransaction Transaction(FSession, Folder()); }).Message(),
            TWriteTransactionMessages::kReadOpen);
  Query->Close();
  TWriteTransaction Transaction(FSession, Folder());
  EXPECT_TRUE(Transaction.Active());
}

}  // namespace
}  // namespace tavrin::testing
