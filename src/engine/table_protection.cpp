#include "engine/table_protection.h"

#include <sqlite3.h>

#include <algorithm>
#include <random>

#include "dataset/database_error.h"
#include "dataset/field.h"
#include "engine/sha256.h"

namespace tavrin {
namespace {

using namespace TTableProtection;

const std::string kCreateList = std::string("create table if not exists ") + kProtectionTable +
                                " (table_name text primary key collate nocase, salt text not null,"
                                " password_sha256 text not null)";
constexpr char kListExists[] = "select 1 from sqlite_master where type = 'table' and name = ?1";
const std::string kReadList = std::string("select table_name, salt, password_sha256 from ") + kProtectionTable;
const std::string kWriteEntry = std::string("insert or replace into ") + kProtectionTable +
                                " (table_name, salt, password_sha256) values (?1, ?2, ?3)";
const std::string kDeleteEntry = std::string("delete from ") + kProtectionTable + " where table_name = ?1";
constexpr char kWritableSchemaPragma[] = "writable_schema";

std::string NewSalt() {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::random_device Random;
  std::string Salt;
  for (int i = 0; i < kSaltBytes; ++i) {
    const auto Byte = static_cast<unsigned>(Random() & 0xFF);
    Salt.push_back(kHexDigits[Byte >> 4]);
    Salt.push_back(kHexDigits[Byte & 0x0F]);
  }
  return Salt;
}

// Prepares Sql, which must be one statement, raising on failure.
void PrepareOne(TSqliteConnection& Connection, TSqliteStatement& Statement, std::string_view Sql) {
  std::string_view Tail;
  if (Statement.Prepare(Connection, Sql, Tail) != SQLITE_OK) {
    throw EDatabaseError(TSqliteMessages::kStatementFailed + Connection.ErrorMessage());
  }
}

bool ListExists(TSqliteConnection& Connection) {
  TSqliteStatement Statement;
  PrepareOne(Connection, Statement, kListExists);
  Statement.Bind(1, std::string(kProtectionTable));
  return Statement.Step();
}

}  // namespace

void ProtectTable(TSqliteConnection& Connection, std::string_view Table, std::string_view Password) {
  Connection.Execute(kCreateList);
  const std::string Salt = NewSalt();
  TSqliteStatement Statement;
  PrepareOne(Connection, Statement, kWriteEntry);
  Statement.Bind(1, std::string(Table));
  Statement.Bind(2, Salt);
  Statement.Bind(3, Sha256Hex(Salt + std::string(Password)));
  Statement.Step();
}

void UnprotectTable(TSqliteConnection& Connection, std::string_view Table) {
  if (!ListExists(Connection)) return;
  TSqliteStatement Statement;
  PrepareOne(Connection, Statement, kDeleteEntry);
  Statement.Bind(1, std::string(Table));
  Statement.Step();
}

TTableGuard::TTableGuard(TSqliteConnection& Connection) : FConnection(Connection) {
  FLocked.emplace_back(kProtectionTable);
  sqlite3_set_authorizer(FConnection.Handle(), &TTableGuard::Authorize, this);
}

bool TTableGuard::Load(const std::vector<std::string>& Passwords) {
  std::vector<std::string> NowLocked{kProtectionTable};
  FTrusted = true;
  try {
    if (ListExists(FConnection)) {
      TSqliteStatement Statement;
      PrepareOne(FConnection, Statement, kReadList);
      while (Statement.Step()) {
        const auto Text = [&](int Column) {
          const TFieldValue Value = Statement.ColumnValue(Column);
          const auto* String = std::get_if<std::string>(&Value);
          return String ? *String : std::string();
        };
        const std::string Table = Text(0), Salt = Text(1), Digest = Text(2);
        const bool Opened = std::any_of(Passwords.begin(), Passwords.end(), [&](const std::string& Password) {
          return Sha256Hex(Salt + Password) == Digest;
        });
        if (!Opened) NowLocked.push_back(Table);
      }
    }
  } catch (...) {
    FTrusted = false;
    throw;
  }
  FTrusted = false;
  std::sort(NowLocked.begin() + 1, NowLocked.end());
  if (NowLocked == FLocked) return false;
  FLocked = std::move(NowLocked);
  return true;
}

TTableGuard::~TTableGuard() { sqlite3_set_authorizer(FConnection.Handle(), nullptr, nullptr); }

bool TTableGuard::RefusedTableIsList() const { return SameName(FRefusedTable, kProtectionTable); }

bool TTableGuard::Locked(std::string_view Table) const {
  return std::any_of(FLocked.begin(), FLocked.end(), [&](const std::string& Name) { return SameName(Name, Table); });
}

int TTableGuard::Authorize(void* Guard, int Action, const char* Arg1, const char* Arg2, const char*,
                           const char*) {
  return static_cast<TTableGuard*>(Guard)->Check(Action, Arg1, Arg2);
}

int TTableGuard::Check(int Action, const char* Arg1, const char* Arg2) {
  if (FTrusted) return SQLITE_OK;
  const char* Table = nullptr;
  switch (Action) {
    case SQLITE_READ: case SQLITE_UPDATE: case SQLITE_INSERT: case SQLITE_DELETE:
    case SQLITE_DROP_TABLE: case SQLITE_DROP_TEMP_TABLE: case SQLITE_ANALYZE:
      Table = Arg1;
      break;
    case SQLITE_CREATE_INDEX: case SQLITE_CREATE_TEMP_INDEX: case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TEMP_INDEX: case SQLITE_CREATE_TRIGGER: case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_DROP_TRIGGER: case SQLITE_DROP_TEMP_TRIGGER: case SQLITE_ALTER_TABLE:
      Table = Arg2;
      break;
    case SQLITE_ATTACH: case SQLITE_DETACH:
      return SQLITE_DENY;
    case SQLITE_PRAGMA:
      return Arg1 && SameName(Arg1, kWritableSchemaPragma) ? SQLITE_DENY : SQLITE_OK;
    default:
      return SQLITE_OK;
  }
  if (Table && Locked(Table)) {
    FRefusedTable = Table;
    return SQLITE_DENY;
  }
  return SQLITE_OK;
}

}  // namespace tavrin
