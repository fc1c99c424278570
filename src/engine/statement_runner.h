#pragma once
// Runs one statement against a data folder: opens the folder's database file on a
// connection of its own, checks the tables it touches against the session's
// passwords, binds the parameters, reads every row of the result at once and closes
// the connection again. Nothing stays open between two runs, so a client paging
// through a result holds no lock and no file, and runs on different threads never
// share a connection.
//
// Threading: any thread; runs on different threads proceed side by side (SQLite's file
// locks order their writes; a run waits up to TSqliteLimits::kBusyTimeoutMs for one).

#include <cstdint>
#include <string>
#include <vector>

#include "dataset/field.h"
#include "engine/database_session.h"
#include "engine/query_params.h"

namespace tavrin {

namespace TDatabaseFiles {
// The one SQLite file of a data folder; its tables are the product's tables.
inline constexpr char kDatabaseFileName[] = "tabelas.db";
}  // namespace TDatabaseFiles

// Texts of the failures (each followed by the detail shown).
namespace TDatabaseMessages {
inline constexpr char kNoDatabaseName[] = "No database name";
inline constexpr char kNoStatement[] = "No SQL statement";
inline constexpr char kFolderNotFound[] = "Data folder not found: ";          // + the folder
inline constexpr char kDatabaseNotFound[] = "Database file not found: ";      // + the file
inline constexpr char kTableNotFound[] = "Table not found: ";                 // + the table
inline constexpr char kPasswordRequired[] = "Password required for table: ";  // + the table
inline constexpr char kAccessDenied[] = "Access denied to table: ";           // + the table
inline constexpr char kNotAccepted[] = "Statement not accepted: ";            // + the reason
inline constexpr char kOneStatement[] = "only one statement may be run at a time";
inline constexpr char kNoResultSet[] = "The statement returns no rows";
inline constexpr char kUnnamedParameter[] = "Parameters must be named (:name)";
inline constexpr char kNoParameterValue[] = "No value for parameter: ";       // + the name
}  // namespace TDatabaseMessages

enum class TStatementKind {
  Select,   // must return columns (Open)
  Execute,  // may return columns, which are not read (ExecSQL)
};

struct TStatementResult {
  // One definition per result column, in order (see docs/database.md for the types).
  std::vector<TFieldDefinition> Columns;
  // The rows' values, row after row, Columns.size() values each.
  std::vector<TFieldValue> Values;
  std::int32_t RecordCount = 0;
  std::int64_t RowsAffected = 0;  // Execute: rows the statement changed
  // The table every column that reads a table column reads, when there is exactly one;
  // else empty.
  std::string TableName;
  // The result's column names that are that table's primary key, joined by ";".
  std::string KeyFields;
};

// Runs Sql (one statement) against the database of the data folder DatabaseName (a
// path as the product writes it, see platform::NativePath), opening protected tables
// with Session's passwords. The ":name" parameters SQLite finds in the statement become
// Params' list (TQueryParams::Adopt) and take the values bound there. Raises
// EDatabaseError with a TDatabaseMessages text, or "Parameter not found: <name>" for a
// value bound under a name the statement lacks, on every failure.
TStatementResult RunStatement(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                              TQueryParams& Params, TStatementKind Kind);

}  // namespace tavrin
