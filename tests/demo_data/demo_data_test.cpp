// The demo data folder: its users give every login outcome through the product's own
// statement, its products through the product's list statement, and it is protected
// as the product expects.

#include "demo_data/demo_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "engine/database_fixture.h"
#include "dataset/database_error.h"

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

  // The login's outcome as the product decides it from the first row: 0 refused, -2
  // without access, else the level.
  int Login(const std::string& Name, const std::string& Password) {
    FSession.AddPassword(TDemoData::kUsersPassword);
    auto Query = MakeQuery("select nivel, inativo, mnctrlest from tabuser where upper(nome)=:pNome and upper(senha)=:pSenha");
    Query->ParamByName("pNome").SetAsString(Raised(Name));
    Query->ParamByName("pSenha").SetAsString(Raised(Password));
    Query->Open();
    if (Query->RecordCount() == 0 || Query->Fields(1).AsBoolean()) return 0;
    return Query->Fields(2).AsBoolean() ? Query->Fields(0).AsInteger() : -2;
  }
};

TEST_F(DemoDataTest, UsersCoverEveryLoginOutcome) {
  EXPECT_TRUE(std::filesystem::exists(FFolder.Path() / "zul.dll"));
  struct TCase {
    const char* Name;
    const char* Password;
    int Outcome;
  };
  const TCase Cases[] = {
      {"admin", "zul123", 9},       {"Maria", "maria2024", 3}, {"joão", "café", 5},
      {"carlos", "carlos1", -2},    {"pedro", "pedro1", -2},   {"antigo", "antigo1", 0},
      {"estagiario", "estag1", 0},  {"lucia", "lucia1", 0},    {"admin", "errada", 0},
      {"ninguem", "x", 0},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(Login(Case.Name, Case.Password), Case.Outcome);
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

TEST_F(DemoDataTest, TheProductListHoldsActiveItemsInDescriptionOrder) {
  TQuery Query(FSession);
  Query.SetDatabaseName(Folder());
  for (const char* Line : {"select codigo, produto, precocusto, precovenda, quantidade", "from tabest1",
                           "where (inativo is null) or (inativo=false)", "order by produto"}) {
    Query.SQL().Add(Line);
  }
  Query.Open();
  EXPECT_GT(Query.RecordCount(), 200);
  EXPECT_LT(Query.RecordCount(), TDemoData::kProductCount);  // some are inactive

  const FT Types[] = {FT::ftInteger, FT::ftWideString, FT::ftCurrency, FT::ftCurrency, FT::ftFloat};
  for (std::int32_t i = 0; i < 5; ++i) EXPECT_EQ(Query.Fields(i).DataType(), Types[i]) << i;
  EXPECT_EQ(Query.Fields(1).Size(), 60);

  std::string Previous;
  std::set<std::string> Descriptions;
  int Repeated = 0, NonAscii = 0, Fractional = 0;
  for (Query.First(); !Query.Eof(); Query.Next()) {
    const std::string Description = Query.Fields(1).AsString();
    EXPECT_LE(Previous, Description);
    if (!Descriptions.insert(Description).second) ++Repeated;
    if (std::any_of(Description.begin(), Description.end(), [](char C) { return static_cast<unsigned char>(C) >= 0x80; })) {
      ++NonAscii;
    }
    if (Query.Fields(4).AsFloat() != Query.Fields(4).AsInteger()) ++Fractional;
    EXPECT_LT(Query.Fields(2).AsFloat(), Query.Fields(3).AsFloat());
    EXPECT_LE(static_cast<std::int32_t>(Query.Fields(1).AsWideString().size()), Query.Fields(1).Size());
    Previous = Description;
  }
  EXPECT_GT(Repeated, 0);
  EXPECT_GT(NonAscii, 50);
  EXPECT_GT(Fractional, 0);
  EXPECT_TRUE(Descriptions.count("Chá verde 緑茶 (importado)"));
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
