#include "engine/statement_runner.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <system_error>

#include "dataset/database_error.h"
#include "engine/column_types.h"
#include "engine/database_connection.h"
#include "engine/sqlite_connection.h"
#include "platform/file_identity.h"
#include "platform/file_system.h"
#include "vocabulary/thread_own.h"

namespace tavrin {
namespace {

using namespace TDatabaseMessages;

// Times a read is prepared and run again because the list of protected tables changed
// under it; more than that in a row is a list that keeps changing, and the read fails.
constexpr int kGuardAttempts = 3;

std::filesystem::path PathOf(const std::string& Utf8) {
  const std::string Native = platform::NativePath(Utf8);
  return std::filesystem::path(std::u8string(Native.begin(), Native.end()));
}

std::string Utf8Of(const std::filesystem::path& Path) {
  const std::u8string Text = Path.u8string();
  return std::string(Text.begin(), Text.end());
}

struct TDatabaseFile {
  std::string Path;
  platform::TFileIdentity Identity;
};

// The database file of the data folder as it is now, checked to exist. One look at the
// file on the way that every statement takes; the folder is looked at only when the
// file is not there, to say which is missing.
TDatabaseFile DatabaseFileOf(const std::string& DatabaseName) {
  if (IsBlankText(DatabaseName)) RaiseDatabaseError(kNoDatabaseName);
  // The path of the folder a thread used last, worked out once.
  struct TLastFolder {
    std::string Folder, File;
  };
  auto& [LastFolder, LastFile] = ThisThreadOwn<TLastFolder>();
  if (DatabaseName != LastFolder) {
    LastFile = Utf8Of(PathOf(DatabaseName) / TDatabaseFiles::kDatabaseFileName);
    LastFolder = DatabaseName;
  }
  if (const auto Identity = platform::FileIdentityOf(LastFile)) return {LastFile, *Identity};
  const std::filesystem::path Folder = PathOf(DatabaseName);
  const std::string File = LastFile;
  std::error_code Ignored;  // a folder that cannot be looked at counts as missing
  if (!std::filesystem::is_directory(Folder, Ignored)) RaiseDatabaseError(kFolderNotFound + DatabaseName);
  RaiseDatabaseError(kDatabaseNotFound + File);
}

// A statement taken from the calling thread's connection, put back when it goes. The
// connection's use lock must be held whenever the statement is touched, and when this
// goes.
class TTakenStatement {
 public:
  enum class TUse { Read, Write };

  TTakenStatement(TSession& Session, const std::string& DatabaseName, const std::string& Sql, TUse Use)
      : FSql(Sql) {
    const TDatabaseFile File = DatabaseFileOf(DatabaseName);
    if (IsBlankText(Sql)) RaiseDatabaseError(kNoStatement);
    Connection = Session.Connections().Acquire(File.Path, File.Identity);
    FLock = std::unique_lock(Connection->UseLock());
    Connection->RefreshPasswords(Session);
    // A read is checked against the guard once it reads (GuardFitsRead); a write must
    // be refused before it writes.
    if (Use == TUse::Write) Connection->RefreshBeforeWrite();
    FGeneration = Connection->Generation();
    Statement = Connection->TakeStatement(Sql);
  }
  ~TTakenStatement() { PutBack(); }
  TTakenStatement(const TTakenStatement&) = delete;
  TTakenStatement& operator=(const TTakenStatement&) = delete;

  void PutBack() {
    if (Statement) Connection->ReturnStatement(FSql, std::move(Statement), FGeneration);
  }
  std::uint64_t Generation() const { return FGeneration; }
  std::unique_lock<std::mutex>& Lock() { return FLock; }

  std::shared_ptr<TDatabaseConnection> Connection;
  std::unique_ptr<TSqliteStatement> Statement;

 private:
  std::string FSql;
  std::uint64_t FGeneration = 0;
  std::unique_lock<std::mutex> FLock;  // declared last: left before the rest goes
};

// The statement's parameters as SQLite found them in its text become Params' list (each
// keeping the value bound under its name); returns their names in order.
std::vector<std::string> AdoptParameterNames(const TSqliteStatement& Statement, TQueryParams& Params) {
  std::vector<std::string> Names;
  for (int Number = 1; Number <= Statement.ParameterCount(); ++Number) {
    const std::string Written = Statement.ParameterName(Number);
    if (Written.size() < 2 || Written[0] != ':') RaiseDatabaseError(kUnnamedParameter);
    Names.push_back(Written.substr(1));
  }
  Params.Adopt(Names);
  return Names;
}

// As AdoptParameterNames, then binds each parameter's value.
void BindParameters(TSqliteStatement& Statement, TQueryParams& Params) {
  const std::vector<std::string> Names = AdoptParameterNames(Statement, Params);
  for (int Number = 1; Number <= Statement.ParameterCount(); ++Number) {
    const std::string& Name = Names[static_cast<std::size_t>(Number - 1)];
    const TQueryParam* Param = Params.FindParam(Name);
    if (!Param || !Param->Bound()) RaiseDatabaseError(kNoParameterValue + Name);
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

// The one table every column that reads a table column reads, and its primary key
// columns among Columns; both empty when the columns read several tables.
void SettleTable(const std::vector<TFieldDefinition>& Columns, const std::vector<TColumnOrigin>& Origins,
                 std::string& TableName, std::string& KeyFields) {
  for (std::size_t Column = 0; Column < Columns.size(); ++Column) {
    const TColumnOrigin& Origin = Origins[Column];
    if (Origin.Table.empty()) continue;
    if (TableName.empty()) {
      TableName = Origin.Table;
    } else if (!SameName(TableName, Origin.Table)) {
      TableName.clear();
      KeyFields.clear();
      return;
    }
    if (Origin.InPrimaryKey) {
      if (!KeyFields.empty()) KeyFields += ";";
      KeyFields += Columns[Column].Name;
    }
  }
}

}  // namespace

TStatementCursor::TStatementCursor(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                                   TQueryParams& Params)
    : FSql(Sql) {
  std::vector<TColumnOrigin> Origins;
  for (int Attempt = 1;; ++Attempt) {
    TTakenStatement Taken(Session, DatabaseName, Sql, TTakenStatement::TUse::Read);
    const int ColumnCount = Taken.Statement->ColumnCount();
    if (ColumnCount == 0) RaiseDatabaseError(kNoResultSet);
    BindParameters(*Taken.Statement, Params);

    FColumns.clear();
    Origins.assign(static_cast<std::size_t>(ColumnCount), {});
    for (int Column = 0; Column < ColumnCount; ++Column) {
      FColumns.push_back(DescribeColumn(Taken.Connection->Sqlite(), *Taken.Statement, Column,
                                        Origins[static_cast<std::size_t>(Column)]));
    }
    FConnection = Taken.Connection;
    FStatement = std::move(Taken.Statement);
    FGeneration = Taken.Generation();
    FAtEnd = false;
    FAhead.clear();

    try {
      // The first row is read now: from then on the statement has the database as it
      // reads it, and the guard is checked against that before any row is used.
      std::vector<TFieldValue> Row;
      if (Step(Row)) FAhead.push_back(std::move(Row));
      if (!FConnection->GuardFitsRead()) {
        FConnection->ReturnStatement(FSql, std::move(FStatement), FGeneration);
        if (Attempt == kGuardAttempts) RaiseDatabaseError(kGuardUnsettled);
        continue;
      }
      SettleColumnTypes();
    } catch (...) {
      if (FStatement) FConnection->ReturnStatement(FSql, std::move(FStatement), FGeneration);
      throw;
    }
    break;
  }

  SettleTable(FColumns, Origins, FTableName, FKeyFields);
}

void TStatementCursor::SettleColumnTypes() {
  // Expression columns: read ahead until each has a value that is not null, or no row
  // is left.
  std::vector<std::size_t> Untyped;
  for (std::size_t Column = 0; Column < FColumns.size(); ++Column) {
    if (FColumns[Column].DataType == TFieldType::ftUnknown) Untyped.push_back(Column);
  }
  if (Untyped.empty()) return;
  std::vector<TFieldValue> First(FColumns.size());
  const auto Settle = [&](const std::vector<TFieldValue>& Row) {
    std::erase_if(Untyped, [&](std::size_t Column) {
      if (std::holds_alternative<std::monostate>(Row[Column])) return false;
      First[Column] = Row[Column];
      return true;
    });
  };
  for (const auto& Row : FAhead) Settle(Row);
  while (!Untyped.empty()) {
    std::vector<TFieldValue> Row;
    if (!Step(Row)) break;
    Settle(Row);
    FAhead.push_back(std::move(Row));
  }
  for (TFieldDefinition& Definition : FColumns) {
    if (Definition.DataType != TFieldType::ftUnknown) continue;
    const TColumnType Type = ColumnTypeOfValue(First[static_cast<std::size_t>(&Definition - FColumns.data())]);
    Definition.DataType = Type.DataType;
    Definition.Size = Type.Size;
    Definition.Precision = Type.Precision;
  }
}

TStatementCursor::~TStatementCursor() {
  std::lock_guard Use(FConnection->UseLock());
  FConnection->ReturnStatement(FSql, std::move(FStatement), FGeneration);
}

bool TStatementCursor::Next(std::vector<TFieldValue>& Row) {
  if (!FAhead.empty()) {
    Row = std::move(FAhead.front());
    FAhead.pop_front();
    return true;
  }
  std::lock_guard Use(FConnection->UseLock());
  return Step(Row);
}

void TStatementCursor::Rewind() {
  std::lock_guard Use(FConnection->UseLock());
  FAhead.clear();
  FStatement->Reset();
  FAtEnd = false;
  FRecheck = true;
}

bool TStatementCursor::Step(std::vector<TFieldValue>& Row) {
  if (FAtEnd) return false;
  try {
    const bool HasRow = FStatement->Step();
    if (FRecheck) {
      // Run again on the database as it is now: its guard must still fit.
      FRecheck = false;
      if (!FConnection->GuardFitsRead()) RaiseDatabaseError(kGuardUnsettled);
    }
    if (!HasRow) {
      FAtEnd = true;
      FStatement->Reset();  // the read of the file ends with the last row
      return false;
    }
  } catch (const EDatabaseError&) {
    FConnection->NoteFailure();
    FAtEnd = true;
    FStatement->Reset();
    throw;
  }
  Row.resize(FColumns.size());
  for (std::size_t Column = 0; Column < FColumns.size(); ++Column) {
    FStatement->ReadColumnInto(static_cast<int>(Column), Row[Column]);
  }
  return true;
}

TStatementDescription DescribeStatement(TSession& Session, const std::string& DatabaseName, const std::string& Sql) {
  TTakenStatement Taken(Session, DatabaseName, Sql, TTakenStatement::TUse::Read);
  const int ColumnCount = Taken.Statement->ColumnCount();
  if (ColumnCount == 0) RaiseDatabaseError(kNoResultSet);
  TStatementDescription Description;
  std::vector<TColumnOrigin> Origins(static_cast<std::size_t>(ColumnCount));
  for (int Column = 0; Column < ColumnCount; ++Column) {
    Description.Columns.push_back(
        DescribeColumn(Taken.Connection->Sqlite(), *Taken.Statement, Column, Origins[static_cast<std::size_t>(Column)]));
  }
  SettleTable(Description.Columns, Origins, Description.TableName, Description.KeyFields);
  return Description;
}

std::shared_ptr<TDatabaseConnection> AcquireConnection(TSession& Session, const std::string& DatabaseName) {
  const TDatabaseFile File = DatabaseFileOf(DatabaseName);
  return Session.Connections().Acquire(File.Path, File.Identity);
}

std::int64_t ExecuteStatement(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                              TQueryParams& Params) {
  TTakenStatement Taken(Session, DatabaseName, Sql, TTakenStatement::TUse::Write);
  BindParameters(*Taken.Statement, Params);
  try {
    while (Taken.Statement->Step()) {
    }
  } catch (const EDatabaseError&) {
    Taken.Connection->NoteFailure();
    throw;
  }
  return Taken.Connection->Sqlite().Changes();
}

void DescribeParameters(TSession& Session, const std::string& DatabaseName, const std::string& Sql,
                        TQueryParams& Params) {
  TTakenStatement Taken(Session, DatabaseName, Sql, TTakenStatement::TUse::Read);
  static_cast<void>(AdoptParameterNames(*Taken.Statement, Params));
}

}  // namespace tavrin
