#pragma once
// TSession: the database engine's settings shared by every query of the process: the
// control folder for shared tables (NetFileDir) and the passwords that open protected
// tables; and the connections it keeps to the database files, one per thread that runs
// statements (connection_cache.h). Session() is the process's one session; tests may
// make their own.
//
// Threading: every member may be called from any thread; one mutex guards the
// settings and is never held while a statement runs (a connection takes a copy of the
// passwords when PasswordsVersion tells it they changed).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/connection_cache.h"

namespace tavrin {

class TSession {
 public:
  TSession() = default;
  // Gives up the kept connections (those a query still uses close when it ends).
  ~TSession() = default;
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
  // A number that changes whenever the passwords change (adding one already there
  // changes nothing): a connection checks it before each statement.
  std::uint64_t PasswordsVersion() const { return FPasswordsVersion.load(std::memory_order_acquire); }

  TConnectionCache& Connections() { return FConnections; }

 private:
  void PasswordsChanged() { FPasswordsVersion.fetch_add(1, std::memory_order_release); }

  mutable std::mutex FMutex;  // guards FNetFileDir and FPasswords
  std::string FNetFileDir;
  std::vector<std::string> FPasswords;
  std::atomic<std::uint64_t> FPasswordsVersion{0};
  // Last: it goes first, while the settings its connections read are still there.
  TConnectionCache FConnections;
};

// The process's session, made at the first call and kept until the process ends.
TSession& Session();

}  // namespace tavrin
