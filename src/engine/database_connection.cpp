#include "engine/database_connection.h"

#include <sqlite3.h>

#include <string_view>
#include <utility>

#include "dataset/database_error.h"
#include "engine/database_messages.h"
#include "engine/database_session.h"

namespace tavrin {
namespace {

using namespace TDatabaseMessages;

// Begins a read of the database and nothing else.
constexpr char kReadProbe[] = "pragma data_version";

// SQLite's text for a statement naming a table the database lacks.
constexpr std::string_view kNoSuchTable = "no such table: ";

}  // namespace

TDatabaseConnection::TDatabaseConnection(std::string File, const platform::TFileIdentity& Identity)
    : FFile(std::move(File)), FIdentity(Identity), FSqlite(FFile, TSqliteConnection::TOpenMode::ExistingFile) {
  FSqlite.Execute("pragma cache_size = -" + std::to_string(TConnectionLimits::kPageCacheKiB));
}

void TDatabaseConnection::RefreshPasswords(const TSession& Session) {
  // The version is read before the passwords: a password added in between is seen at
  // the next statement.
  const std::uint64_t Version = Session.PasswordsVersion();
  if (FGuardLoaded && Version == FPasswordsVersion) return;
  FPasswords = Session.Passwords();
  LoadGuard();
  FGuardLoaded = true;
  FPasswordsVersion = Version;
  // Loaded outside the statement's own read: the statement's read checks it again.
  FFitsVersion = -1;
}

bool TDatabaseConnection::GuardFitsRead() {
  const std::int64_t Seen = SeenVersion();
  if (Seen == FFitsVersion) return true;
  // The list is read within the statement's own read, so it is the list of the very
  // database the statement reads.
  const bool Changed = LoadGuard();
  FFitsVersion = Seen;
  return !Changed;
}

void TDatabaseConnection::RefreshBeforeWrite() {
  try {
    if (FReadProbe.Empty()) {
      std::string_view Tail;
      if (FReadProbe.Prepare(FSqlite, kReadProbe, Tail) != SQLITE_OK) {
        throw EDatabaseError(TSqliteMessages::kStatementFailed + FSqlite.ErrorMessage());
      }
    }
    FReadProbe.Step();
    GuardFitsRead();
  } catch (const EDatabaseError&) {
    FReadProbe.Reset();
    NoteFailure();
    throw;
  }
  FReadProbe.Reset();
}

bool TDatabaseConnection::LoadGuard() {
  bool Changed = false;
  try {
    Changed = FGuard.Load(FPasswords);
  } catch (const EDatabaseError&) {
    NoteFailure();
    throw;
  }
  if (Changed) {
    FStatements.Clear();
    ++FGeneration;
  }
  return Changed;
}

std::int64_t TDatabaseConnection::SeenVersion() {
  unsigned int Version = 0;
  sqlite3_file_control(FSqlite.Handle(), "main", SQLITE_FCNTL_DATA_VERSION, &Version);
  return Version;
}

std::unique_ptr<TSqliteStatement> TDatabaseConnection::TakeStatement(const std::string& Sql) {
  if (std::unique_ptr<TSqliteStatement> Kept = FStatements.Take(Sql)) return Kept;
  auto Statement = std::make_unique<TSqliteStatement>();
  std::string_view Tail;
  // A refusal for a locked table counts only once the guard is known to be as current
  // as the database: the table may have been opened since the guard was loaded.
  bool GuardChecked = false;
  for (;;) {
    FGuard.ForgetRefusal();
    if (Statement->Prepare(FSqlite, Sql, Tail) == SQLITE_OK) break;
    NoteFailure();
    if (FGuard.RefusedTable().empty()) {
      const std::string Reason = FSqlite.ErrorMessage();
      if (Reason.starts_with(kNoSuchTable)) RaiseDatabaseError(kTableNotFound + Reason.substr(kNoSuchTable.size()));
      RaiseDatabaseError(kNotAccepted + Reason);
    }
    const std::string Message =
        (FGuard.RefusedTableIsList() ? kAccessDenied : kPasswordRequired) + FGuard.RefusedTable();
    const std::uint64_t Before = FGeneration;
    if (!GuardChecked) RefreshBeforeWrite();
    GuardChecked = true;
    if (FGeneration == Before) RaiseDatabaseError(Message);
  }
  if (Statement->Empty()) RaiseDatabaseError(kNoStatement);
  if (!IsBlankText(Tail)) {
    // Whatever follows must be blanks or comments only.
    TSqliteStatement Next;
    std::string_view Rest;
    if (Next.Prepare(FSqlite, Tail, Rest) != SQLITE_OK || !Next.Empty()) RaiseDatabaseError(std::string(kNotAccepted) + kOneStatement);
  }
  return Statement;
}

void TDatabaseConnection::ReturnStatement(const std::string& Sql, std::unique_ptr<TSqliteStatement> Statement,
                                          std::uint64_t TakenIn) {
  if (TakenIn != FGeneration || Broken()) return;  // prepared under a guard since replaced
  FStatements.Put(Sql, std::move(Statement));
}

void TDatabaseConnection::NoteFailure() {
  if (IsConnectionFault(FSqlite.ErrorCode())) FBroken.store(true, std::memory_order_relaxed);
}

}  // namespace tavrin
