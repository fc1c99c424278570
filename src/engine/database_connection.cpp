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

// SQLite's text for a statement naming a table the database lacks.
constexpr std::string_view kNoSuchTable = "no such table: ";

[[noreturn]] void Raise(const std::string& Message) { throw EDatabaseError(Message); }

bool IsBlank(std::string_view Text) { return Text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

}  // namespace

TDatabaseConnection::TDatabaseConnection(std::string File, const platform::TFileIdentity& Identity)
    : FFile(std::move(File)), FIdentity(Identity), FSqlite(FFile, TSqliteConnection::TOpenMode::ExistingFile) {
  FSqlite.Execute("pragma cache_size = -" + std::to_string(TConnectionLimits::kPageCacheKiB));
}

void TDatabaseConnection::RefreshGuard(const TSession& Session) {
  // The session's version is read before its passwords: a password added in between is
  // seen at the next statement.
  const std::uint64_t Passwords = Session.PasswordsVersion();
  try {
    const std::int64_t Data = FGuard.DataVersion();
    if (FGuardLoaded && Passwords == FPasswordsVersion && Data == FDataVersion) return;
    if (FGuard.Load(Session.Passwords())) {
      FStatements.Clear();
      ++FGeneration;
    }
    FGuardLoaded = true;
    FPasswordsVersion = Passwords;
    FDataVersion = Data;
  } catch (const EDatabaseError&) {
    NoteFailure();
    throw;
  }
}

std::unique_ptr<TSqliteStatement> TDatabaseConnection::TakeStatement(const std::string& Sql) {
  if (std::unique_ptr<TSqliteStatement> Kept = FStatements.Take(Sql)) return Kept;
  auto Statement = std::make_unique<TSqliteStatement>();
  std::string_view Tail;
  FGuard.ForgetRefusal();
  if (Statement->Prepare(FSqlite, Sql, Tail) != SQLITE_OK) {
    NoteFailure();
    if (!FGuard.RefusedTable().empty()) {
      Raise((FGuard.RefusedTableIsList() ? kAccessDenied : kPasswordRequired) + FGuard.RefusedTable());
    }
    const std::string Reason = FSqlite.ErrorMessage();
    if (Reason.starts_with(kNoSuchTable)) Raise(kTableNotFound + Reason.substr(kNoSuchTable.size()));
    Raise(kNotAccepted + Reason);
  }
  if (Statement->Empty()) Raise(kNoStatement);
  if (!IsBlank(Tail)) {
    // Whatever follows must be blanks or comments only.
    TSqliteStatement Next;
    std::string_view Rest;
    if (Next.Prepare(FSqlite, Tail, Rest) != SQLITE_OK || !Next.Empty()) Raise(std::string(kNotAccepted) + kOneStatement);
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
