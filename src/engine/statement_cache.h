#pragma once
// The statements prepared on one connection, kept by their text for the next run of
// the same text, so a statement run again and again (the login) is prepared once.
// A statement in use is taken out and put back when its run ends, so two runs of one
// text at once each have their own.
//
// Threading: as the connection it belongs to.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/sqlite_connection.h"

namespace tavrin {

namespace TStatementCacheLimits {
// Statements kept per connection; the least recently used goes first. The product runs
// a handful of texts; the bound keeps a client's own texts from piling up.
inline constexpr std::size_t kCapacity = 16;
}  // namespace TStatementCacheLimits

class TStatementCache {
 public:
  // The statement kept for Sql, taken out of the cache; null when none is kept.
  std::unique_ptr<TSqliteStatement> Take(const std::string& Sql);
  // Resets Statement, drops its bound values and keeps it for Sql as the most recently
  // used.
  void Put(const std::string& Sql, std::unique_ptr<TSqliteStatement> Statement);
  // Finalizes every kept statement.
  void Clear() { FEntries.clear(); }
  std::size_t Size() const { return FEntries.size(); }

 private:
  struct TEntry {
    std::string Sql;
    std::unique_ptr<TSqliteStatement> Statement;
  };
  std::vector<TEntry> FEntries;  // least recently used first
};

}  // namespace tavrin
