#pragma once
// Runs statements against a data folder's database on the calling thread's kept
// connection (connection_cache.h): checks that the folder's file is there and is the
// one the connection has open, brings the table guard up to date, takes the prepared
// statement kept for the text (or prepares it), binds the parameters, and either reads
// the rows as the caller steps through them (TStatementCursor) or runs the statement
// to its end (ExecuteStatement).
//
// Threading: any thread; runs on different threads proceed side by side on their own
// connections (SQLite's file locks order their writes; a write waits up to
// TSqliteLimits::kBusyTimeoutMs for a lock, then fails with "database is locked").

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "dataset/field.h"
#include "engine/database_messages.h"
#include "engine/database_session.h"
#include "engine/query_params.h"

namespace tavrin {

class TDatabaseConnection;
class TSqliteStatement;

// A select statement being read, row after row as the caller asks for them. While rows
// remain unread it holds a read of the database file (other connections' writes wait
// for it in a file without a write-ahead log); once the last row is read, or it goes,
// it holds nothing but its share of the connection.
class TStatementCursor {
 public:
  // Runs Sql (one statement returning columns; ":name" parameters take their values
  // from Params) against the database of the data folder DatabaseName (a path as the
  // product writes it, see platform::NativePath), opening protected tables with
  // Session's passwords. The ":name" parameters SQLite finds in the statement become
  // Params' list (TQueryParams::Adopt). Raises EDatabaseError with a TDatabaseMessages
  // text, or "Parameter not found: <name>" for a value bound under a name the statement
  // lacks, on every failure.
  TStatementCursor(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                   TQueryParams& Params);
  // Puts the statement back for the next run of its text.
  ~TStatementCursor();
  TStatementCursor(const TStatementCursor&) = delete;
  TStatementCursor& operator=(const TStatementCursor&) = delete;

  // One definition per result column, in order (see docs/database.md for the types).
  // A column computed by an expression takes its type from its first value that is not
  // null: the cursor reads ahead as far as it must to find it.
  const std::vector<TFieldDefinition>& Columns() const { return FColumns; }
  // The table every column that reads a table column reads, when there is exactly one;
  // else empty. KeyFields: the columns of Columns that are its primary key, joined by
  // ";".
  const std::string& TableName() const { return FTableName; }
  const std::string& KeyFields() const { return FKeyFields; }

  // The next row's values into Row (one per column): true; false when no row is left.
  // Raises EDatabaseError "Statement failed: <reason>"; the cursor then stands at its
  // end.
  bool Next(std::vector<TFieldValue>& Row);
  // Back to before the first row: the statement runs again from the start, on the
  // database as it is then. Its next row raises EDatabaseError "Statement failed: the
  // list of protected tables kept changing" when the tables it may read changed since.
  void Rewind();

 private:
  bool Step(std::vector<TFieldValue>& Row);
  // Gives each column computed by an expression the type of its first value that is not
  // null, reading ahead as far as that takes.
  void SettleColumnTypes();

  std::shared_ptr<TDatabaseConnection> FConnection;
  std::unique_ptr<TSqliteStatement> FStatement;
  std::string FSql;
  std::uint64_t FGeneration = 0;
  std::vector<TFieldDefinition> FColumns;
  std::string FTableName;
  std::string FKeyFields;
  std::deque<std::vector<TFieldValue>> FAhead;  // rows read to settle column types
  bool FAtEnd = false;
  bool FRecheck = false;  // run again: check the guard at the next step
};

// What a statement's result would be, without running it: its columns as
// TStatementCursor::Columns gives them (a column computed by an expression has
// ftUnknown: no value says its type), the one table they read and its key columns.
struct TStatementDescription {
  std::vector<TFieldDefinition> Columns;
  std::string TableName;
  std::string KeyFields;
};
// Prepares Sql as TStatementCursor does, without running it. Raises EDatabaseError as
// TStatementCursor.
TStatementDescription DescribeStatement(TSession& Session, const std::string& DatabaseName, const std::string& Sql);

// The calling thread's kept connection to the database of the data folder DatabaseName,
// the file checked to be there. Raises EDatabaseError with a TDatabaseMessages text.
std::shared_ptr<TDatabaseConnection> AcquireConnection(TSession& Session, const std::string& DatabaseName);

// Runs Sql (one statement; its rows, if any, are not read) as TStatementCursor does and
// returns the number of rows it changed. Raises EDatabaseError as TStatementCursor.
std::int64_t ExecuteStatement(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                              TQueryParams& Params);

// Prepares Sql as TStatementCursor does, without running it, and makes the parameters
// SQLite finds in it Params' list (TQueryParams::Adopt). Raises EDatabaseError as
// TStatementCursor.
void DescribeParameters(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                        TQueryParams& Params);

}  // namespace tavrin
