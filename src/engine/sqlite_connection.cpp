#include "engine/sqlite_connection.h"

#include <sqlite3.h>

#include <atomic>

#include "dataset/database_error.h"

namespace tavrin {
namespace {

std::string TextOrEmpty(const char* Text) { return Text ? std::string(Text) : std::string(); }

std::atomic<std::int64_t> OpenConnections{0};
std::atomic<std::int64_t> OpenedConnections{0};

}  // namespace

TSqliteConnection::TSqliteConnection(const std::string& File, TOpenMode Mode) {
  int Flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (Mode == TOpenMode::CreateIfMissing) Flags |= SQLITE_OPEN_CREATE;
  const int Result = sqlite3_open_v2(File.c_str(), &FHandle, Flags, nullptr);
  if (Result != SQLITE_OK) {
    // SQLite hands back a handle even on failure, to carry the reason.
    const std::string Reason = FHandle ? ErrorMessage() : sqlite3_errstr(Result);
    sqlite3_close(FHandle);
    FHandle = nullptr;
    throw EDatabaseError(TSqliteMessages::kCannotOpen + File + ": " + Reason);
  }
  sqlite3_extended_result_codes(FHandle, 1);
  sqlite3_busy_timeout(FHandle, TSqliteLimits::kBusyTimeoutMs);
  OpenConnections.fetch_add(1, std::memory_order_relaxed);
  OpenedConnections.fetch_add(1, std::memory_order_relaxed);
}

TSqliteConnection::~TSqliteConnection() {
  // Every statement is finalized by its owner before the connection goes, so this
  // closes for good.
  sqlite3_close(FHandle);
  OpenConnections.fetch_sub(1, std::memory_order_relaxed);
}

std::int64_t TSqliteConnection::OpenCount() { return OpenConnections.load(std::memory_order_relaxed); }

std::int64_t TSqliteConnection::OpenedCount() { return OpenedConnections.load(std::memory_order_relaxed); }

std::string TSqliteConnection::ErrorMessage() const { return TextOrEmpty(sqlite3_errmsg(FHandle)); }

int TSqliteConnection::ErrorCode() const { return sqlite3_extended_errcode(FHandle); }

bool IsConnectionFault(int Code) {
  switch (Code & 0xFF) {
    case SQLITE_IOERR: case SQLITE_CORRUPT: case SQLITE_NOTADB: case SQLITE_CANTOPEN: case SQLITE_PROTOCOL:
      return true;
    default:
      return Code == SQLITE_READONLY_DBMOVED;
  }
}

std::int64_t TSqliteConnection::Changes() const { return sqlite3_changes64(FHandle); }

void TSqliteConnection::Execute(std::string_view Sql) {
  const std::string Text(Sql);
  char* Message = nullptr;
  if (sqlite3_exec(FHandle, Text.c_str(), nullptr, nullptr, &Message) != SQLITE_OK) {
    const std::string Reason = Message ? std::string(Message) : ErrorMessage();
    sqlite3_free(Message);
    throw EDatabaseError(TSqliteMessages::kStatementFailed + Reason);
  }
}

TSqliteStatement::~TSqliteStatement() { sqlite3_finalize(FHandle); }

int TSqliteStatement::Prepare(TSqliteConnection& Connection, std::string_view Sql, std::string_view& Tail) {
  sqlite3_finalize(FHandle);
  FHandle = nullptr;
  FConnection = Connection.Handle();
  const char* Rest = nullptr;
  const int Result = sqlite3_prepare_v2(FConnection, Sql.data(), static_cast<int>(Sql.size()), &FHandle, &Rest);
  Tail = Rest ? Sql.substr(static_cast<std::size_t>(Rest - Sql.data())) : std::string_view();
  return Result;
}

void TSqliteStatement::Reset() {
  // The result repeats the last step's failure, which that step has reported already.
  sqlite3_reset(FHandle);
}

void TSqliteStatement::Forget() {
  Reset();
  sqlite3_clear_bindings(FHandle);
}

int TSqliteStatement::ParameterCount() const { return sqlite3_bind_parameter_count(FHandle); }

std::string TSqliteStatement::ParameterName(int Number) const {
  return TextOrEmpty(sqlite3_bind_parameter_name(FHandle, Number));
}

void TSqliteStatement::Bind(int Number, const TFieldValue& Value) {
  int Result = SQLITE_OK;
  if (const auto* Whole = std::get_if<std::int64_t>(&Value)) {
    Result = sqlite3_bind_int64(FHandle, Number, *Whole);
  } else if (const auto* Number64 = std::get_if<double>(&Value)) {
    Result = sqlite3_bind_double(FHandle, Number, *Number64);
  } else if (const auto* Text = std::get_if<std::string>(&Value)) {
    Result = sqlite3_bind_text64(FHandle, Number, Text->data(), Text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  } else if (const auto* Bytes = std::get_if<TFieldBytes>(&Value)) {
    // A zero-length blob still binds as bytes, not null: SQLite wants a pointer.
    static const std::uint8_t kNoBytes = 0;
    Result = sqlite3_bind_blob64(FHandle, Number, Bytes->empty() ? &kNoBytes : Bytes->data(), Bytes->size(),
                                 SQLITE_TRANSIENT);
  } else {
    Result = sqlite3_bind_null(FHandle, Number);
  }
  if (Result != SQLITE_OK) {
    throw EDatabaseError(TSqliteMessages::kStatementFailed + TextOrEmpty(sqlite3_errmsg(FConnection)));
  }
}

bool TSqliteStatement::Step() {
  const int Result = sqlite3_step(FHandle);
  if (Result == SQLITE_ROW) return true;
  if (Result == SQLITE_DONE) return false;
  throw EDatabaseError(TSqliteMessages::kStatementFailed + TextOrEmpty(sqlite3_errmsg(FConnection)));
}

int TSqliteStatement::ColumnCount() const { return sqlite3_column_count(FHandle); }

std::string TSqliteStatement::ColumnName(int Column) const {
  return TextOrEmpty(sqlite3_column_name(FHandle, Column));
}

std::string TSqliteStatement::ColumnDeclaredType(int Column) const {
  return TextOrEmpty(sqlite3_column_decltype(FHandle, Column));
}

std::string TSqliteStatement::ColumnTable(int Column) const {
  return TextOrEmpty(sqlite3_column_table_name(FHandle, Column));
}

std::string TSqliteStatement::ColumnOrigin(int Column) const {
  return TextOrEmpty(sqlite3_column_origin_name(FHandle, Column));
}

std::string TSqliteStatement::ColumnDatabase(int Column) const {
  return TextOrEmpty(sqlite3_column_database_name(FHandle, Column));
}

TFieldValue TSqliteStatement::ColumnValue(int Column) const {
  switch (sqlite3_column_type(FHandle, Column)) {
    case SQLITE_INTEGER: return std::int64_t{sqlite3_column_int64(FHandle, Column)};
    case SQLITE_FLOAT: return sqlite3_column_double(FHandle, Column);
    case SQLITE_TEXT: {
      const auto* Text = reinterpret_cast<const char*>(sqlite3_column_text(FHandle, Column));
      const auto Size = static_cast<std::size_t>(sqlite3_column_bytes(FHandle, Column));
      return std::string(Text ? Text : "", Text ? Size : 0);
    }
    case SQLITE_BLOB: {
      const auto* Bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(FHandle, Column));
      const auto Size = static_cast<std::size_t>(sqlite3_column_bytes(FHandle, Column));
      return Bytes ? TFieldBytes(Bytes, Bytes + Size) : TFieldBytes();
    }
    default: return std::monostate{};
  }
}

void TSqliteStatement::ReadColumnInto(int Column, TFieldValue& Value) const {
  // One look-up of the column, then its value's accessors: each column accessor would
  // look the column up again. The connection has no mutex of its own (one thread uses it
  // at a time), so the value may be read this way; it is copied before the statement moves.
  sqlite3_value* Cell = sqlite3_column_value(FHandle, Column);
  switch (sqlite3_value_type(Cell)) {
    case SQLITE_INTEGER:
      Value = std::int64_t{sqlite3_value_int64(Cell)};
      return;
    case SQLITE_FLOAT:
      Value = sqlite3_value_double(Cell);
      return;
    case SQLITE_TEXT: {
      const auto* Text = reinterpret_cast<const char*>(sqlite3_value_text(Cell));
      const auto Size = Text ? static_cast<std::size_t>(sqlite3_value_bytes(Cell)) : 0;
      if (auto* Kept = std::get_if<std::string>(&Value)) {
        Kept->assign(Text ? Text : "", Size);
      } else {
        Value.emplace<std::string>(Text ? Text : "", Size);
      }
      return;
    }
    case SQLITE_BLOB: {
      const auto* Bytes = static_cast<const std::uint8_t*>(sqlite3_value_blob(Cell));
      const auto Size = Bytes ? static_cast<std::size_t>(sqlite3_value_bytes(Cell)) : 0;
      if (auto* Kept = std::get_if<TFieldBytes>(&Value)) {
        Kept->assign(Bytes, Bytes + Size);
      } else {
        Value.emplace<TFieldBytes>(Bytes, Bytes + Size);
      }
      return;
    }
    default:
      Value = std::monostate{};
  }
}

}  // namespace tavrin
