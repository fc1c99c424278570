// The demo data folder: it holds the users of the shared login table and varied
// products, and it is protected as the product expects.

#include "demo_data/demo_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "engine/database_fixture.h"
#include "dataset/database_error.h"
#include "support/login_outcomes.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;
using FT = TFieldType;

// Only the letters a to z are raised, as the product does before binding.
std::string Raised(std::string Text) {
  for (char& C : Text) {
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  }
  return Text;
}

class DemoDataTest : public TDatabaseFixture {
 protected:
  void SetUp() override { CreateDemoData(Folder()); }

  // The users' names as stored, raised.
  std::set<std::string> StoredUsers() {
    FSession.AddPassword(TDemoData::kUsersPassword);
    auto Query = MakeQuery("select nome from tabuser");
    Query->Open();
    std::set<std::string> Names;
    for (Query->First(); !Query->Eof(); Query->Next()) Names.insert(Raised(Query->Fields(0).AsString()));
    return Names;
  }
};

// What each login answers is checked where the login is decided (the server's methods
// and the container run the shared table over this data); here, that the folder is the
// product's and holds the users the table names.
TEST_F(DemoDataTest, HoldsTheUsersTheLoginTableNames) {
  EXPECT_TRUE(std::filesystem::exists(FFolder.Path() / "zul.dll"));
  const std::set<std::string> Stored = StoredUsers();
  for (const TLoginOutcome& Case : kDemoLoginOutcomes) {
    const bool Unknown = std::string_view(Case.Why) == "no such user";
    EXPECT_EQ(Stored.count(Raised(Case.User)), Unknown ? 0u : 1u) << Case.User;
  }
}

TEST_F(DemoDataTest, TheUsersNeedTheProductsPasswordAndTheProductsNone) {
  auto Users = MakeQuery("select nome from tabuser");
  try {
    Users->Open();
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Password required for table: tabuser");
  }
  auto Products = MakeQuery("select count(*) from tabest1");
  Products->Open();
  EXPECT_EQ(Products->Fields(0).AsInteger(), TDemoData::kProductCount);
}

// The products are varied enough to exercise the list: repeated and non-ASCII
// descriptions, fractional quantities, inactive items, texts up to the column's size.
TEST_F(DemoDataTest, TheProductsAreVariedEnoughToExerciseTheList) {
  auto Query = MakeQuery("select codigo, produto, precocusto, precovenda, quantidade, inativo from tabest1");
  Query->Open();
  const FT Types[] = {FT::ftInteger, FT::ftWideString, FT::ftCurrency, FT::ftCurrency, FT::ftFloat};
  for (std::int32_t i = 0; i < 5; ++i) EXPECT_EQ(Query->Fields(i).DataType(), Types[i]) << i;
  EXPECT_EQ(Query->Fields(1).Size(), 60);

  std::set<std::string> Descriptions;
  int Active = 0, Repeated = 0, NonAscii = 0, Fractional = 0;
  for (Query->First(); !Query->Eof(); Query->Next()) {
    const std::string Description = Query->Fields(1).AsString();
    if (!Query->Fields(5).IsNull() && Query->Fields(5).AsBoolean()) continue;
    ++Active;
    if (!Descriptions.insert(Description).second) ++Repeated;
    if (std::any_of(Description.begin(), Description.end(), [](char C) { return static_cast<unsigned char>(C) >= 0x80; })) {
      ++NonAscii;
    }
    if (Query->Fields(4).AsFloat() != Query->Fields(4).AsInteger()) ++Fractional;
    EXPECT_LT(Query->Fields(2).AsFloat(), Query->Fields(3).AsFloat()) << Description;
    EXPECT_LE(static_cast<std::int32_t>(Query->Fields(1).AsWideString().size()), Query->Fields(1).Size());
  }
  EXPECT_GT(Active, 200);
  EXPECT_LT(Active, TDemoData::kProductCount);  // some are inactive
  EXPECT_GT(Repeated, 0);
  EXPECT_GT(NonAscii, 50);
  EXPECT_GT(Fractional, 0);
  EXPECT_TRUE(Descriptions.count("Ch\u00e1 verde \u7dd1\u8336 (importado)"));
}

TEST_F(DemoDataTest, OnlyADemoDatabaseIsEverReplaced) {
  CreateDemoData(Folder());  // the earlier demo database is renewed
  auto Products = MakeQuery("select count(*) from tabest1");
  Products->Open();
  EXPECT_EQ(Products->Fields(0).AsInteger(), TDemoData::kProductCount);

  TTempFolder Other;
  const std::string OtherFolder = Other.Path().string();
  {
    TSqliteConnection Foreign((Other.Path() / "tabelas.db").string(), TSqliteConnection::TOpenMode::CreateIfMissing);
    Foreign.Execute("create table tabest1 (produto text); insert into tabest1 values ('real')");
  }
  try {
    CreateDemoData(OtherFolder);
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "Not a demo database, left as it is: " + (Other.Path() / "tabelas.db").string());
  }
  TQuery Kept(FSession);
  Kept.SetDatabaseName(OtherFolder);
  Kept.SQL().Add("select produto from tabest1");
  Kept.Open();
  EXPECT_EQ(Kept.Fields(0).AsString(), "real");
}

}  // namespace
}  // namespace tavrin
