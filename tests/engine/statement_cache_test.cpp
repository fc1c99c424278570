// The statements kept per connection: found again by their text, one use at a time,
// reset when put back, and bounded with the least recently used going first.

#include "engine/statement_cache.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/database_fixture.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

class StatementCacheTest : public TDatabaseFixture {
 protected:
  void SetUp() override {
    CreateDatabase("create table t (n integer); insert into t values (1), (2);");
    FConnection = std::make_unique<TSqliteConnection>(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
  }

  std::unique_ptr<TSqliteStatement> Prepare(const std::string& Sql) {
    auto Statement = std::make_unique<TSqliteStatement>();
    std::string_view Tail;
    EXPECT_EQ(Statement->Prepare(*FConnection, Sql, Tail), 0);
    return Statement;
  }

  std::unique_ptr<TSqliteConnection> FConnection;
  TStatementCache FCache;  // its statements go before their connection
};

TEST_F(StatementCacheTest, KeepsStatementsByTextResetAndBounded) {
  const std::string Counting = "select n from t where n >= :m order by n";
  auto Statement = Prepare(Counting);
  Statement->Bind(1, std::int64_t{2});
  ASSERT_TRUE(Statement->Step());
  TSqliteStatement* const Kept = Statement.get();
  FCache.Put(Counting, std::move(Statement));

  // Put back reset, its value forgotten: a null matches nothing.
  auto Again = FCache.Take(Counting);
  ASSERT_EQ(Again.get(), Kept);
  EXPECT_FALSE(Again->Step());
  EXPECT_EQ(FCache.Take(Counting), nullptr);  // in use: not in the cache meanwhile
  FCache.Put(Counting, std::move(Again));

  for (std::size_t i = 1; i <= TStatementCacheLimits::kCapacity; ++i) {
    const std::string Sql = "select " + std::to_string(i);
    FCache.Put(Sql, Prepare(Sql));
  }
  EXPECT_EQ(FCache.Size(), TStatementCacheLimits::kCapacity);
  EXPECT_EQ(FCache.Take(Counting), nullptr);  // the least recently used went
  EXPECT_NE(FCache.Take("select 1"), nullptr);
}

}  // namespace
}  // namespace tavrin
