#pragma once
// The data folder's database file and the texts of the engine's failures, shared by
// the code that finds the file, prepares statements and runs them.

#include <string>
#include <string_view>

#include "dataset/database_error.h"

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
inline constexpr char kGuardUnsettled[] = "Statement failed: the list of protected tables kept changing";
}  // namespace TDatabaseMessages

[[noreturn]] inline void RaiseDatabaseError(const std::string& Message) { throw EDatabaseError(Message); }

// Whether Text holds nothing but blanks, tabs and line ends.
inline bool IsBlankText(std::string_view Text) { return Text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

}  // namespace tavrin
