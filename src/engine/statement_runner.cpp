#include "engine/statement_runner.h"

#include <sqlite3.h>

#include <filesystem>
#include <system_error>

#include "dataset/database_error.h"
#include "platform/file_system.h"
#include "engine/column_types.h"
#include "engine/sqlite_connection.h"
#include "engine/table_protection.h"

namespace tavrin {
namespace {

using namespace TDatabaseMessages;

// SQLite's text for a statement naming a table the database lacks.
constexpr std::string_view kNoSuchTable = "no such table: ";

[[noreturn]] void Raise(const std::string& Message) { throw EDatabaseError(Message); }

bool IsBlank(std::string_view Text) {
  return Text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::filesystem::path PathOf(const std::string& Utf8) {
  const std::string Native = platform::NativePath(Utf8);
  return std::filesystem::path(std::u8string(Native.begin(), Native.end()));
}

std::string Utf8Of(const std::filesystem::path& Path) {
  const std::u8string Text = Path.u8string();
  return std::string(Text.begin(), Text.end());
}

// The database file of the data folder, checked to exist.
std::string DatabaseFileOf(const std::string& DatabaseName) {
  if (IsBlank(DatabaseName)) Raise(kNoDatabaseName);
  const std::filesystem::path Folder = PathOf(DatabaseName);
  std::error_code Ignored;  // a folder that cannot be looked at counts as missing
  if (!std::filesystem::is_directory(Folder, Ignored)) Raise(kFolderNotFound + DatabaseName);
  const std::filesystem::path File = Folder / TDatabaseFiles::kDatabaseFileName;
  if (!std::filesystem::is_regular_file(File, Ignored)) Raise(kDatabaseNotFound + Utf8Of(File));
  return Utf8Of(File);
}

void Prepare(TSqliteConnection& Connection, const TTableGuard& Guard, TSqliteStatement& Statement,
             const std::string& Sql) {
  std::string_view Tail;
  if (Statement.Prepare(Connection, Sql, Tail) != SQLITE_OK) {
    if (!Guard.RefusedTable().empty()) {
      Raise((Guard.RefusedTableIsList() ? kAccessDenied : kPasswordRequired) + Guard.RefusedTable());
    }
    const std::string Reason = Connection.ErrorMessage();
    if (Reason.starts_with(kNoSuchTable)) Raise(kTableNotFound + Reason.substr(kNoSuchTable.size()));
    Raise(kNotAccepted + Reason);
  }
  if (Statement.Empty()) Raise(kNoStatement);
  if (!IsBlank(Tail)) {
    // Whatever follows must be blanks or comments only.
    TSqliteStatement Next;
    std::string_view Rest;
    if (Next.Prepare(Connection, Tail, Rest) != SQLITE_OK || !Next.Empty()) Raise(std::string(kNotAccepted) + kOneStatement);
  }
}

// The statement's parameters as SQLite found them in its text become Params' list; each
// takes the value bound under its name.
void BindParameters(TSqliteStatement& Statement, TQueryParams& Params) {
  std::vector<std::string> Names;
  for (int Number = 1; Number <= Statement.ParameterCount(); ++Number) {
    const std::string Written = Statement.ParameterName(Number);
    if (Written.size() < 2 || Written[0] != ':') Raise(kUnnamedParameter);
    Names.push_back(Written.substr(1));
  }
  Params.Adopt(Names);
  for (int Number = 1; Number <= Statement.ParameterCount(); ++Number) {
    const std::string& Name = Names[static_cast<std::size_t>(Number - 1)];
    const TQueryParam* Param = Params.FindParam(Name);
    if (!Param || !Param->Bound()) Raise(kNoParameterValue + Name);
    Statement.Bind(Number, Param->Value());
  }
}

struct TColumnOrigin {
  std::string Table;
  bool InPrimaryKey = false;
};

TFieldDefinition DescribeColumn(TSqliteConnection& Connection, const TSqliteStatement& Statement, int Column,
                                TColumnOrigin& Origin) {
  TFieldDefinition Definition;
  Definition.Name = Statement.ColumnName(Column);
  const TColumnType Type = MapDeclaredColumnType(Statement.ColumnDeclaredType(Column));
  Definition.DataType = Type.DataType;
  Definition.Size = Type.Size;
  Definition.Precision = Type.Precision;

  Origin.Table = Statement.ColumnTable(Column);
  const std::string OriginColumn = Statement.ColumnOrigin(Column);
  if (Origin.Table.empty() || OriginColumn.empty()) {
    Origin.Table.clear();
    Definition.ReadOnly = true;  // computed: there is nothing to write it back to
    return Definition;
  }
  Definition.Origin = Origin.Table + "." + OriginColumn;
  int NotNull = 0, PrimaryKey = 0, AutoIncrement = 0;
  if (sqlite3_table_column_metadata(Connection.Handle(), Statement.ColumnDatabase(Column).c_str(), Origin.Table.c_str(),
                                    OriginColumn.c_str(), nullptr, nullptr, &NotNull, &PrimaryKey,
                                    &AutoIncrement) == SQLITE_OK) {
    Definition.Required = NotNull != 0;
    Origin.InPrimaryKey = PrimaryKey != 0;
    if (AutoIncrement != 0) Definition.DataType = TFieldType::ftAutoInc;
  }
  return Definition;
}

}  // namespace

TStatementResult RunStatement(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                              TQueryParams& Params, TStatementKind Kind) {
  const std::string File = DatabaseFileOf(DatabaseName);
  if (IsBlank(Sql)) Raise(kNoStatement);

  TSqliteConnection Connection(File, TSqliteConnection::TOpenMode::ExistingFile);
  const TTableGuard Guard(Connection, Session.Passwords());
  TSqliteStatement Statement;
  Prepare(Connection, Guard, Statement, Sql);
  const int ColumnCount = Statement.ColumnCount();
  if (Kind == TStatementKind::Select && ColumnCount == 0) Raise(kNoResultSet);
  BindParameters(Statement, Params);

  TStatementResult Result;
  if (Kind == TStatementKind::Execute) {
    while (Statement.Step()) {
    }
    Result.RowsAffected = Connection.Changes();
    return Result;
  }

  std::vector<TColumnOrigin> Origins(static_cast<std::size_t>(ColumnCount));
  for (int Column = 0; Column < ColumnCount; ++Column) {
    Result.Columns.push_back(DescribeColumn(Connection, Statement, Column, Origins[static_cast<std::size_t>(Column)]));
  }
  while (Statement.Step()) {
    for (int Column = 0; Column < ColumnCount; ++Column) Result.Values.push_back(Statement.ColumnValue(Column));
    ++Result.RecordCount;
  }

  const auto Columns = static_cast<std::size_t>(ColumnCount);
  for (std::size_t Column = 0; Column < Columns; ++Column) {
    TFieldDefinition& Definition = Result.Columns[Column];
    if (Definition.DataType != TFieldType::ftUnknown) continue;
    TFieldValue First;
    for (std::size_t Row = 0; Row < static_cast<std::size_t>(Result.RecordCount); ++Row) {
      const TFieldValue& Value = Result.Values[Row * Columns + Column];
      if (!std::holds_alternative<std::monostate>(Value)) {
        First = Value;
        break;
      }
    }
    const TColumnType Type = ColumnTypeOfValue(First);
    Definition.DataType = Type.DataType;
    Definition.Size = Type.Size;
    Definition.Precision = Type.Precision;
  }

  for (std::size_t Column = 0; Column < Columns; ++Column) {
    const TColumnOrigin& Origin = Origins[Column];
    if (Origin.Table.empty()) continue;
    if (Result.TableName.empty()) {
      Result.TableName = Origin.Table;
    } else if (!SameName(Result.TableName, Origin.Table)) {
      Result.TableName.clear();
      Result.KeyFields.clear();
      break;
    }
    if (Origin.InPrimaryKey) {
      if (!Result.KeyFields.empty()) Result.KeyFields += ";";
      Result.KeyFields += Result.Columns[Column].Name;
    }
  }
  return Result;
}

}  // namespace tavrin
