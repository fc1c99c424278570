#pragma once
// TSession: the database engine's settings shared by every query of the process: the
// control folder for shared tables (NetFileDir) and the passwords that open protected
// tables. Session() is the process's one session; tests may make their own.
//
// Threading: every member may be called from any thread; one mutex guards the state
// and is never held while a statement runs (a query takes a copy of the passwords).

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class TSession {
 public:
  TSession() = default;
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  // Kept and read back only: SQLite locks inside the database file itself, so the
  // engine needs no control folder beside the tables.
  std::string NetFileDir() const;
  void SetNetFileDir(std::string Folder);

  // Adds a password for protected tables (table_protection.h). Adding one already there
  // changes nothing. Passwords compare exactly (letter case counts).
  void AddPassword(std::string Password);
  void RemovePassword(std::string_view Password);
  void RemoveAllPasswords();
  // A copy of the passwords, in the order they were first added.
  std::vector<std::string> Passwords() const;

 private:
  mutable std::mutex FMutex;  // guards FNetFileDir and FPasswords
  std::string FNetFileDir;
  std::vector<std::string> FPasswords;
};

// The process's session, made at the first call and kept until the process ends.
TSession& Session();

}  // namespace tavrin
