#pragma once
// One kept connection to a data folder's database file, with what is worth keeping
// beside it: the statements prepared on it (statement_cache.h) and the guard of the
// protected tables (table_protection.h), brought up to date before each statement.
// The journal mode is left as the file has it: the folder may sit on a network share,
// where a write-ahead log does not work.
//
// Threading: whoever uses the connection holds UseLock() around every member but
// File, Identity and Broken, which any thread may read. A connection is kept for one
// thread, but a query opened on it may go on from another; the lock keeps them apart.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/sqlite_connection.h"
#include "engine/statement_cache.h"
#include "engine/table_protection.h"
#include "platform/file_identity.h"

namespace tavrin {

class TSession;

namespace TConnectionLimits {
// Page cache of each kept connection, in KiB. With one connection per busy connection
// thread, this bounds what the engine keeps of the file in memory per client.
inline constexpr int kPageCacheKiB = 2048;
}  // namespace TConnectionLimits

class TDatabaseConnection {
 public:
  // Opens File (UTF-8, as the system takes it), which had Identity when looked at just
  // before. Raises EDatabaseError "Cannot open database file <File>: <reason>".
  TDatabaseConnection(std::string File, const platform::TFileIdentity& Identity);
  TDatabaseConnection(const TDatabaseConnection&) = delete;
  TDatabaseConnection& operator=(const TDatabaseConnection&) = delete;

  const std::string& File() const { return FFile; }
  const platform::TFileIdentity& Identity() const { return FIdentity; }
  // True once the connection saw an I/O or corruption fault: it is not to be used for
  // another statement.
  bool Broken() const { return FBroken.load(std::memory_order_relaxed); }

  std::mutex& UseLock() { return FUse; }
  TSqliteConnection& Sqlite() { return FSqlite; }

  // Before a statement is taken: loads the guard again when Session's passwords changed
  // since it was loaded (or it never was). Raises EDatabaseError when the database
  // cannot be read.
  void RefreshPasswords(const TSession& Session);
  // While a statement of this connection is being read (after its first step), which
  // is when it has the database as it reads it: true when the guard fits that database;
  // otherwise the guard is loaded again, the kept statements are finalized, Generation
  // moves on, and false says to prepare and run the statement again before any of its
  // rows is used. Raises EDatabaseError when the list cannot be read.
  bool GuardFitsRead();
  // Before a statement that may write: the guard brought up to date with the database as
  // it is now. Raises EDatabaseError when the database cannot be read.
  void RefreshBeforeWrite();
  std::uint64_t Generation() const { return FGeneration; }

  // A statement for Sql (one statement, followed by nothing but blanks and comments):
  // the kept one, or one prepared now. Raises EDatabaseError with a TDatabaseMessages
  // text when Sql is refused.
  std::unique_ptr<TSqliteStatement> TakeStatement(const std::string& Sql);
  // Puts Statement back for the next run of Sql, or finalizes it when it was taken
  // under another Generation.
  void ReturnStatement(const std::string& Sql, std::unique_ptr<TSqliteStatement> Statement,
                       std::uint64_t TakenIn);

  // Looks at the last failure: after an I/O or corruption fault, Broken becomes true.
  void NoteFailure();

 private:
  // Loads the guard with FPasswords; true when what is locked changed.
  bool LoadGuard();
  // The database's change counter as the connection saw it when its current (or last)
  // read began.
  std::int64_t SeenVersion();

  std::mutex FUse;  // held by the user around every call but the identity's
  const std::string FFile;
  const platform::TFileIdentity FIdentity;
  std::atomic<bool> FBroken{false};
  // Declared in the order they must be made; they go in reverse, statements first.
  TSqliteConnection FSqlite;
  TTableGuard FGuard{FSqlite};
  TStatementCache FStatements;
  TSqliteStatement FReadProbe;  // a statement that only reads, to begin a read before a write
  std::uint64_t FGeneration = 0;
  bool FGuardLoaded = false;
  std::vector<std::string> FPasswords;  // the session's, as the guard was last loaded
  std::uint64_t FPasswordsVersion = 0;  // and their version
  std::int64_t FFitsVersion = -1;       // the database's change counter the guard fits; -1: none
};

}  // namespace tavrin
