#pragma once
// TWriteTransaction: one write transaction on the calling thread's kept connection to a
// data folder's database, for statements with "?" parameters bound in order (the
// resolver's). It takes the write lock at its start (BEGIN IMMEDIATE), so writers from
// several threads queue there, each waiting up to TSqliteLimits::kBusyTimeoutMs, instead
// of failing half-way through their statements. Commits are durable: the connection
// syncs the journal (synchronous=FULL, in either journal mode) before Commit returns.
//
// Threading: the thread that made it, within one request; the connection's use lock is
// held around each call.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dataset/field.h"
#include "engine/database_session.h"

namespace tavrin {

class TDatabaseConnection;

namespace TWriteTransactionMessages {
inline constexpr char kLocked[] =
    "The database is busy with another client's changes; nothing was applied, try again";
inline constexpr char kReadOpen[] =
    "A read of the database is still open on this connection; nothing was applied";
}  // namespace TWriteTransactionMessages

using TBoundValues = std::vector<TFieldValue>;
using TSelectedRows = std::vector<std::vector<TFieldValue>>;

class TWriteTransaction {
 public:
  // Begins the transaction on the database of the data folder DatabaseName. Raises
  // EDatabaseError kLocked when another writer holds the lock past the wait, kReadOpen
  // when a statement of this connection is still reading, or a TDatabaseMessages text.
  TWriteTransaction(TSession& Session, const std::string& DatabaseName);
  // Rolls back what was neither committed nor rolled back.
  ~TWriteTransaction();
  TWriteTransaction(const TWriteTransaction&) = delete;
  TWriteTransaction& operator=(const TWriteTransaction&) = delete;

  // True until Commit or Rollback, and while the database keeps the transaction open
  // (it ends one itself after some faults, a full disk say).
  bool Active() const;
  // Runs Sql with Values; returns the rows it changed. Raises EDatabaseError; the
  // transaction stays open (a failed statement undoes only itself).
  std::int64_t Execute(const std::string& Sql, const TBoundValues& Values);
  // Runs a select with Values; at most MaxRows rows.
  TSelectedRows Select(const std::string& Sql, const TBoundValues& Values, std::size_t MaxRows);
  // A point one row's statements can be undone to (RowDone(false)) or kept at.
  void MarkRow();
  void RowDone(bool Keep);
  // Ends the transaction. Commit raises EDatabaseError when the commit fails, after
  // rolling back.
  void Commit();
  void Rollback() noexcept;

 private:
  void Run(const char* Sql);
  void RunKept(const char* Sql);

  std::shared_ptr<TDatabaseConnection> FConnection;
  bool FActive = false;
  bool FRowMarked = false;
};

// Outside a transaction: runs a select with "?" Values on the calling thread's
// connection and returns at most MaxRows of its rows; the read ends before it returns.
TSelectedRows SelectBoundRows(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                              const TBoundValues& Values, std::size_t MaxRows);

}  // namespace tavrin
