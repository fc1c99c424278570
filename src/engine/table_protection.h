#pragma once
// Tables protected by a password. A database may hold a list of protected tables
// (table kProtectionTable: the table's name, a random salt and the SHA-256 of the salt
// followed by the password, in hexadecimal). A statement that touches a protected table
// in any way (reads it, writes it, drops or alters it, indexes or triggers it, or reads
// it through a view) is refused unless one of the session's passwords matches that
// table's. No statement may touch the list itself, nor attach other database files.
//
// This guards the tables against this server's clients; it is not encryption: anyone
// who can read the file with other tools can read every table.
//
// Threading: as the connection it is used on.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sqlite_connection.h"

namespace tavrin {

namespace TTableProtection {
inline constexpr char kProtectionTable[] = "tavrin_table_passwords";
inline constexpr int kSaltBytes = 16;
}  // namespace TTableProtection

// Protects Table of Connection's database with Password, replacing the password it had;
// creates the list when the database has none. Table need not exist yet. Raises
// EDatabaseError when the database refuses the change.
void ProtectTable(TSqliteConnection& Connection, std::string_view Table, std::string_view Password);

// Removes Table from the list; nothing happens when it is not there.
void UnprotectTable(TSqliteConnection& Connection, std::string_view Table);

// While it lives, Connection prepares statements only when they touch no table still
// locked: the protected tables that none of the passwords given to Load opens, and the
// list itself. Until the first Load only the list is locked.
//
// A kept connection keeps its guard and loads the list again when the database changed
// (database_connection.h), so a table protected (or a password changed) through another
// connection is locked at the next statement. Statements prepared before a Load that
// changed what is locked must be prepared again: the guard looks at a statement only
// when it is prepared.
class TTableGuard {
 public:
  // Watches every statement Connection prepares from now on.
  explicit TTableGuard(TSqliteConnection& Connection);
  ~TTableGuard();
  TTableGuard(const TTableGuard&) = delete;
  TTableGuard& operator=(const TTableGuard&) = delete;

  // Reads the database's list (none: every table is open) and checks Passwords against
  // it. Returns true when what is locked differs from before. Raises EDatabaseError when
  // the list cannot be read.
  bool Load(const std::vector<std::string>& Passwords);

  // After a refused prepare: the table that caused the refusal as the statement named
  // it; empty when the refusal was not about a locked table. ForgetRefusal clears it
  // before the next prepare.
  const std::string& RefusedTable() const { return FRefusedTable; }
  void ForgetRefusal() { FRefusedTable.clear(); }
  // True when RefusedTable is the list itself rather than a protected table.
  bool RefusedTableIsList() const;

 private:
  static int Authorize(void* Guard, int Action, const char* Arg1, const char* Arg2, const char* Database,
                       const char* Trigger);
  int Check(int Action, const char* Arg1, const char* Arg2);
  bool Locked(std::string_view Table) const;

  TSqliteConnection& FConnection;
  std::vector<std::string> FLocked;  // protected tables no password opens, and the list
  std::string FRefusedTable;
  bool FTrusted = false;             // while the guard reads the list itself
};

}  // namespace tavrin
