#include "engine/statement_cache.h"

#include <algorithm>

namespace tavrin {

std::unique_ptr<TSqliteStatement> TStatementCache::Take(const std::string& Sql) {
  const auto Found = std::find_if(FEntries.rbegin(), FEntries.rend(), [&](const TEntry& Entry) { return Entry.Sql == Sql; });
  if (Found == FEntries.rend()) return nullptr;
  std::unique_ptr<TSqliteStatement> Statement = std::move(Found->Statement);
  FEntries.erase(std::next(Found).base());
  return Statement;
}

void TStatementCache::Put(const std::string& Sql, std::unique_ptr<TSqliteStatement> Statement) {
  Statement->Forget();
  // Two runs of one text at once each prepared their own; one is enough to keep.
  if (std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& Entry) { return Entry.Sql == Sql; })) return;
  FEntries.push_back({Sql, std::move(Statement)});
  if (FEntries.size() > TStatementCacheLimits::kCapacity) FEntries.erase(FEntries.begin());
}

}  // namespace tavrin
