#pragma once
// A data folder in a fresh temporary folder, with a database file made from a schema,
// and a session of its own, so that tests never share passwords or files.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "engine/database_session.h"
#include "engine/query.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "support/temp_folder.h"

namespace tavrin::testing {

class TDatabaseFixture : public ::testing::Test {
 protected:
  // The data folder as the product passes it.
  std::string Folder() const { return FFolder.Path().string(); }
  std::string DatabaseFile() const { return (FFolder.Path() / TDatabaseFiles::kDatabaseFileName).string(); }

  // Makes the database file and runs Sql on it (schema and rows).
  void CreateDatabase(std::string_view Sql) const {
    TSqliteConnection Connection(DatabaseFile(), TSqliteConnection::TOpenMode::CreateIfMissing);
    Connection.Execute("pragma journal_mode = wal");
    Connection.Execute(Sql);
  }

  // A query on the fixture's session and folder with Sql as its one line.
  std::unique_ptr<TQuery> MakeQuery(std::string_view Sql = {}) {
    auto Query = std::make_unique<TQuery>(FSession);
    Query->SetDatabaseName(Folder());
    if (!Sql.empty()) Query->SQL().Add(std::string(Sql));
    return Query;
  }

  TTempFolder FFolder;
  TSession FSession;
};

}  // namespace tavrin::testing
