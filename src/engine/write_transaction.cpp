#include "engine/write_transaction.h"

#include <sqlite3.h>

#include <mutex>

#include "dataset/database_error.h"
#include "engine/database_connection.h"
#include "engine/database_messages.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"

namespace tavrin {
namespace {

constexpr char kDurable[] = "pragma synchronous = full";
constexpr char kBegin[] = "begin immediate";
constexpr char kCommit[] = "commit";
constexpr char kRollback[] = "rollback";
constexpr char kMark[] = "savepoint resolver_row";
constexpr char kRelease[] = "release resolver_row";
constexpr char kUndo[] = "rollback to resolver_row";

// A statement of Connection for Sql with Values bound, put back into the connection's
// cache when it goes. The caller holds the connection's use lock.
class TBoundStatement {
 public:
  TBoundStatement(TDatabaseConnection& Connection, const std::string& Sql, const TBoundValues& Values)
      : FConnection(Connection), FSql(Sql), FGeneration(Connection.Generation()) {
    FStatement = Connection.TakeStatement(Sql);
    if (FStatement->ParameterCount() != static_cast<int>(Values.size())) {
      RaiseDatabaseError(std::string(TDatabaseMessages::kNotAccepted) + "the statement's parameters and values differ");
    }
    for (std::size_t i = 0; i < Values.size(); ++i) FStatement->Bind(static_cast<int>(i) + 1, Values[i]);
  }
  ~TBoundStatement() { FConnection.ReturnStatement(FSql, std::move(FStatement), FGeneration); }
  TBoundStatement(const TBoundStatement&) = delete;
  TBoundStatement& operator=(const TBoundStatement&) = delete;

  bool Step() {
    try {
      return FStatement->Step();
    } catch (const EDatabaseError&) {
      FConnection.NoteFailure();
      FStatement->Reset();
      throw;
    }
  }
  TSelectedRows Rows(std::size_t MaxRows) {
    TSelectedRows Rows;
    while (Rows.size() < MaxRows && Step()) {
      std::vector<TFieldValue>& Row = Rows.emplace_back();
      for (int Column = 0; Column < FStatement->ColumnCount(); ++Column) Row.push_back(FStatement->ColumnValue(Column));
    }
    FStatement->Reset();  // the read ends here
    return Rows;
  }

 private:
  TDatabaseConnection& FConnection;
  std::string FSql;
  std::uint64_t FGeneration;
  std::unique_ptr<TSqliteStatement> FStatement;
};

// True when a statement of the connection is part-way through its rows.
bool ReadOpen(sqlite3* Handle) {
  for (sqlite3_stmt* Statement = sqlite3_next_stmt(Handle, nullptr); Statement != nullptr;
       Statement = sqlite3_next_stmt(Handle, Statement)) {
    if (sqlite3_stmt_busy(Statement)) return true;
  }
  return false;
}

}  // namespace

TWriteTransaction::TWriteTransaction(TSession& Session, const std::string& DatabaseName)
    : FConnection(AcquireConnection(Session, DatabaseName)) {
  std::lock_guard Use(FConnection->UseLock());
  sqlite3* Handle = FConnection->Sqlite().Handle();
  if (!sqlite3_get_autocommit(Handle) || ReadOpen(Handle)) RaiseDatabaseError(TWriteTransactionMessages::kReadOpen);
  FConnection->RefreshPasswords(Session);
  FConnection->RefreshBeforeWrite();
  FConnection->Sqlite().Execute(kDurable);
  try {
    FConnection->Sqlite().Execute(kBegin);
  } catch (const EDatabaseError&) {
    FConnection->NoteFailure();
    if ((FConnection->Sqlite().ErrorCode() & 0xFF) == SQLITE_BUSY) RaiseDatabaseError(TWriteTransactionMessages::kLocked);
    throw;
  }
  FActive = true;
}

TWriteTransaction::~TWriteTransaction() { Rollback(); }

bool TWriteTransaction::Active() const {
  if (!FActive) return false;
  std::lock_guard Use(FConnection->UseLock());
  return sqlite3_get_autocommit(FConnection->Sqlite().Handle()) == 0;
}

void TWriteTransaction::Run(const char* Sql) {
  try {
    FConnection->Sqlite().Execute(Sql);
  } catch (const EDatabaseError&) {
    FConnection->NoteFailure();
    throw;
  }
}

std::int64_t TWriteTransaction::Execute(const std::string& Sql, const TBoundValues& Values) {
  std::lock_guard Use(FConnection->UseLock());
  TBoundStatement Statement(*FConnection, Sql, Values);
  while (Statement.Step()) {
  }
  return FConnection->Sqlite().Changes();
}

TSelectedRows TWriteTransaction::Select(const std::string& Sql, const TBoundValues& Values, std::size_t MaxRows) {
  std::lock_guard Use(FConnection->UseLock());
  TBoundStatement Statement(*FConnection, Sql, Values);
  return Statement.Rows(MaxRows);
}

void TWriteTransaction::MarkRow() {
  std::lock_guard Use(FConnection->UseLock());
  RunKept(kMark);
  FRowMarked = true;
}

void TWriteTransaction::RowDone(bool Keep) {
  if (!FRowMarked) return;
  std::lock_guard Use(FConnection->UseLock());
  FRowMarked = false;
  if (!Keep) RunKept(kUndo);
  RunKept(kRelease);
}

void TWriteTransaction::RunKept(const char* Sql) {
  // Run for every row: prepared once and kept with the connection's statements.
  TBoundStatement Statement(*FConnection, Sql, {});
  while (Statement.Step()) {
  }
}

void TWriteTransaction::Commit() {
  if (!FActive) return;
  {
    std::lock_guard Use(FConnection->UseLock());
    try {
      Run(kCommit);
      FActive = false;
      return;
    } catch (const EDatabaseError&) {
      // Falls through to the rollback below, then the failure travels on.
    }
  }
  const std::string Reason = FConnection->Sqlite().ErrorMessage();
  Rollback();
  RaiseDatabaseError(TSqliteMessages::kStatementFailed + Reason);
}

void TWriteTransaction::Rollback() noexcept {
  if (!FActive) return;
  FActive = false;
  FRowMarked = false;
  std::lock_guard Use(FConnection->UseLock());
  // A failed rollback leaves SQLite's own: the transaction ends when the connection
  // goes, and a broken connection is not kept.
  if (sqlite3_exec(FConnection->Sqlite().Handle(), kRollback, nullptr, nullptr, nullptr) != SQLITE_OK) {
    FConnection->NoteFailure();
  }
}

TSelectedRows SelectBoundRows(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                              const TBoundValues& Values, std::size_t MaxRows) {
  const std::shared_ptr<TDatabaseConnection> Connection = AcquireConnection(Session, DatabaseName);
  std::lock_guard Use(Connection->UseLock());
  Connection->RefreshPasswords(Session);
  Connection->RefreshBeforeWrite();  // brings the table guard up to date before the statement
  TBoundStatement Statement(*Connection, Sql, Values);
  return Statement.Rows(MaxRows);
}

}  // namespace tavrin
