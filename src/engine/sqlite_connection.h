#pragma once
// A connection to one SQLite database file and the statements prepared on it: thin
// owners of SQLite's handles that close them when they go, and raise EDatabaseError
// with SQLite's own text when something fails.
//
// Threading: a connection and its statements are used by one thread at a time (they
// are opened without SQLite's per-connection mutex). Different threads use different
// connections; SQLite's file locks keep them apart. OpenCount may be read anywhere.

#include <cstdint>
#include <string>
#include <string_view>

#include "dataset/field.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tavrin {

namespace TSqliteLimits {
// How long a statement waits for a lock another connection holds before it fails with
// "database is locked".
inline constexpr int kBusyTimeoutMs = 5000;
}  // namespace TSqliteLimits

namespace TSqliteMessages {
inline constexpr char kCannotOpen[] = "Cannot open database file ";     // + file + ": " + reason
inline constexpr char kStatementFailed[] = "Statement failed: ";        // + SQLite's text
}  // namespace TSqliteMessages

class TSqliteConnection {
 public:
  enum class TOpenMode {
    ExistingFile,    // the file must exist
    CreateIfMissing,
  };

  // Opens File (a path in UTF-8) for reading and writing. Raises EDatabaseError
  // "Cannot open database file <File>: <reason>".
  TSqliteConnection(const std::string& File, TOpenMode Mode);
  ~TSqliteConnection();
  TSqliteConnection(const TSqliteConnection&) = delete;
  TSqliteConnection& operator=(const TSqliteConnection&) = delete;

  sqlite3* Handle() const { return FHandle; }
  // SQLite's text and extended code for the connection's last failure.
  std::string ErrorMessage() const;
  int ErrorCode() const;
  // Rows changed by the last insert, update or delete.
  std::int64_t Changes() const;

  // Runs Sql, one or more statements without parameters or results. Raises
  // EDatabaseError "Statement failed: <reason>".
  void Execute(std::string_view Sql);

  // Connections open in the process now, and opened since it started: what tests look
  // at to see that connections are kept, and that none is left open.
  static std::int64_t OpenCount();
  static std::int64_t OpenedCount();

 private:
  sqlite3* FHandle = nullptr;
};

// True when Code (an extended result code) says the connection itself can no longer be
// trusted: the file could not be read or written, is not a database or is damaged, or
// was moved away. A kept connection that saw one is replaced.
bool IsConnectionFault(int Code);

class TSqliteStatement {
 public:
  TSqliteStatement() = default;
  ~TSqliteStatement();
  TSqliteStatement(const TSqliteStatement&) = delete;
  TSqliteStatement& operator=(const TSqliteStatement&) = delete;

  // Prepares the first statement of Sql on Connection; Tail receives the text after it.
  // Returns SQLite's result code (0 on success); on failure Connection.ErrorMessage()
  // says why. Sql holding only blanks or comments prepares successfully into no
  // statement (Empty() is then true).
  int Prepare(TSqliteConnection& Connection, std::string_view Sql, std::string_view& Tail);
  bool Empty() const { return FHandle == nullptr; }
  sqlite3_stmt* Handle() const { return FHandle; }
  // Back to before the first row, keeping the bound values; ends the statement's read
  // of the file. Forget drops the bound values too (a kept statement holds no text).
  void Reset();
  void Forget();

  // Parameters are numbered from 1. Name: as written in the text (":pNome"), empty for
  // a "?" parameter.
  int ParameterCount() const;
  std::string ParameterName(int Number) const;
  // Binds Value (text as UTF-8, taken by copy). Raises EDatabaseError on failure.
  void Bind(int Number, const TFieldValue& Value);

  // Moves to the next row: true on a row, false when there is none left. Raises
  // EDatabaseError "Statement failed: <reason>".
  bool Step();

  // Columns are numbered from 0.
  int ColumnCount() const;
  std::string ColumnName(int Column) const;
  // As written in the table's definition; empty for an expression.
  std::string ColumnDeclaredType(int Column) const;
  // The table and column a result column reads, and the database ("main") holding the
  // table; empty for an expression.
  std::string ColumnTable(int Column) const;
  std::string ColumnOrigin(int Column) const;
  std::string ColumnDatabase(int Column) const;
  // The current row's value: null, a whole number, a floating-point number, text
  // (UTF-8, every byte kept) or bytes, as SQLite stores it.
  TFieldValue ColumnValue(int Column) const;
  // The same value written over Value, reusing the text or bytes Value already holds, so
  // reading row after row into one row allocates only when a value outgrows its place.
  void ReadColumnInto(int Column, TFieldValue& Value) const;

 private:
  sqlite3* FConnection = nullptr;
  sqlite3_stmt* FHandle = nullptr;
};

}  // namespace tavrin
