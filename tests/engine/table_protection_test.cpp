// Tables protected by a password: what the session's passwords open, every way a
// statement can reach a protected table, and the list of protected tables itself.

#include "engine/table_protection.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/database_fixture.h"
#include "dataset/database_error.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

constexpr char kProtectedSchema[] =
    "create table tabuser (nome varchar(30), senha varchar(20), nivel integer);"
    "insert into tabuser values ('ADMIN', 'zul123', 9);"
    "create table tabest1 (produto varchar(60));"
    "insert into tabest1 values ('Pão');"
    "create view usuarios as select nome from tabuser;";

constexpr char kPassword[] = "wendolq";

class TableProtectionTest : public TDatabaseFixture {
 protected:
  void SetUp() override {
    CreateDatabase(kProtectedSchema);
    TSqliteConnection Connection(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
    ProtectTable(Connection, "TabUser", kPassword);  // names compare ignoring case
  }

  // "ok" when Sql runs (opened when it returns rows), else the failure's message.
  std::string Run(const std::string& Sql) {
    auto Query = MakeQuery(Sql);
    try {
      if (Sql.starts_with("select")) {
        Query->Open();
      } else {
        Query->ExecSQL();
      }
    } catch (const EDatabaseError& e) {
      return e.what();
    }
    return "ok";
  }
};

constexpr char kRefused[] = "Password required for table: tabuser";

TEST_F(TableProtectionTest, AProtectedTableOpensOnlyWithItsPasswordInTheSession) {
  EXPECT_EQ(Run("select nivel from tabuser"), kRefused);
  FSession.AddPassword("WENDOLQ");  // passwords compare exactly
  FSession.AddPassword("outra");
  EXPECT_EQ(Run("select nivel from tabuser"), kRefused);
  FSession.AddPassword(kPassword);
  FSession.AddPassword(kPassword);  // adding it again is harmless
  EXPECT_EQ(Run("select nivel from tabuser"), "ok");
  FSession.RemovePassword(kPassword);
  EXPECT_EQ(Run("select nivel from tabuser"), kRefused);
  EXPECT_EQ(FSession.Passwords(), (std::vector<std::string>{"WENDOLQ", "outra"}));
}

TEST_F(TableProtectionTest, EveryWayToReachTheTableNeedsThePassword) {
  const char* Statements[] = {
      "select count(*) from tabuser",
      "select * from tabest1 where produto in (select nome from tabuser)",
      "select e.produto from tabest1 e join tabuser u on u.nome = e.produto",
      "select nome from usuarios",
      "update tabuser set nivel = 1",
      "insert into tabuser (nome) values ('x')",
      "delete from tabuser",
      "alter table tabuser add column extra integer",
      "create index tabuser_nome on tabuser (nome)",
      "create trigger tabuser_log after insert on tabuser begin select 1; end",
      "drop table tabuser",  // last: once it runs there is no table left
  };
  for (const char* Sql : Statements) {
    SCOPED_TRACE(Sql);
    const std::string Outcome = Run(Sql);
    EXPECT_NE(Outcome.find("tabuser"), std::string::npos) << Outcome;
    EXPECT_TRUE(Outcome.starts_with("Password required for table: ")) << Outcome;
  }
  // Other tables stay open, with or without passwords.
  EXPECT_EQ(Run("select produto from tabest1"), "ok");
  FSession.AddPassword(kPassword);
  for (const char* Sql : Statements) {
    SCOPED_TRACE(Sql);
    EXPECT_EQ(Run(Sql), "ok");
  }
}

TEST_F(TableProtectionTest, TheListAndOtherDatabaseFilesAreOutOfReach) {
  FSession.AddPassword(kPassword);
  const std::string Denied = std::string("Access denied to table: ") + TTableProtection::kProtectionTable;
  const std::string List = TTableProtection::kProtectionTable;
  EXPECT_EQ(Run("select * from " + List), Denied);
  EXPECT_EQ(Run("delete from " + List), Denied);
  EXPECT_EQ(Run("drop table " + List), Denied);
  EXPECT_EQ(Run("attach database '" + DatabaseFile() + "' as copia"), "Statement not accepted: not authorized");
  EXPECT_EQ(Run("pragma writable_schema = on"), "Statement not accepted: not authorized");
}

TEST_F(TableProtectionTest, TheListKeepsASaltedDigestOnly) {
  TSqliteConnection Connection(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
  ProtectTable(Connection, "tabest1", kPassword);
  TSqliteStatement Statement;
  std::string_view Tail;
  ASSERT_EQ(Statement.Prepare(Connection, std::string("select salt, password_sha256 from ") +
                                              TTableProtection::kProtectionTable,
                              Tail),
            0);
  std::vector<std::string> Seen;
  while (Statement.Step()) {
    for (int Column = 0; Column < 2; ++Column) Seen.push_back(std::get<std::string>(Statement.ColumnValue(Column)));
  }
  ASSERT_EQ(Seen.size(), 4u);
  EXPECT_NE(Seen[0], Seen[2]);  // the same password, salted differently
  EXPECT_NE(Seen[1], Seen[3]);
  for (const std::string& Text : Seen) EXPECT_EQ(Text.find(kPassword), std::string::npos);

  EXPECT_EQ(Run("select produto from tabest1"), "Password required for table: tabest1");
  UnprotectTable(Connection, "TABEST1");
  EXPECT_EQ(Run("select produto from tabest1"), "ok");
}

}  // namespace
}  // namespace tavrin
