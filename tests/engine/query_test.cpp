// Queries on a real SQLite file: events, parameters, navigation, field descriptions,
// text round trips and every failure with its message.

#include "engine/query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/database_fixture.h"
#include "dataset/database_error.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;
using FT = TFieldType;

constexpr char kSchema[] =
    "create table tabuser (codigo integer primary key, nome varchar(30) not null, senha varchar(20),"
    " nivel integer, inativo boolean, mnctrlest boolean);"
    "insert into tabuser (nome, senha, nivel, inativo, mnctrlest) values"
    " ('ADMIN', 'zul123', 9, null, 1), ('joão', 'café', 5, 0, 1), ('velho', 'x', 1, 1, 0);"
    "create table tabest1 (codigo integer primary key autoincrement, produto varchar(60), precocusto money,"
    " precovenda numeric(15,2), quantidade double, inativo boolean);"
    "insert into tabest1 (produto, precocusto, precovenda, quantidade, inativo) values"
    " ('Pão', 0.5, 0.9, 120, null), ('Café', 10, 15.5, 3.25, 0), ('Arroz', 4, 6, 0, 1), ('Açúcar', 3, 4.5, 10, 0);"
    "create table notas (texto text);";

// A lookup with named parameters compared against upper-cased columns.
constexpr char kLookupStatement[] =
    "select nivel, inativo, mnctrlest from tabuser where upper(nome)=:pNome and upper(senha)=:pSenha";

class QueryTest : public TDatabaseFixture {
 protected:
  void SetUp() override { CreateDatabase(kSchema); }

  // The message of the EDatabaseError that Action raises.
  static std::string FailureOf(const std::function<void()>& Action) {
    try {
      Action();
    } catch (const EDatabaseError& e) {
      return e.what();
    }
    return "no error";
  }
};

TEST_F(QueryTest, OpenAndCloseRunTheirEventsInOrderAndOnlyOnce) {
  std::vector<std::string> Events;
  TQuery Query(FSession);
  // As the product's before-open handler does: the folder and the statement are set
  // only when the query is about to open.
  Query.SetBeforeOpen([&](TDataSet& DataSet) {
    Events.push_back("BeforeOpen");
    EXPECT_EQ(&DataSet, &Query);
    Query.SetDatabaseName(Folder());
    Query.SQL().Clear();
    Query.SQL().Add("select codigo, produto");
    Query.SQL().Add("from tabest1");
    Query.SQL().Add("where (inativo is null) or (inativo=false)");
    Query.SQL().Add("order by produto");
  });
  Query.SetAfterOpen([&](TDataSet&) { Events.push_back("AfterOpen " + std::to_string(Query.RecordCount())); });
  Query.SetBeforeClose([&](TDataSet&) { Events.push_back("BeforeClose " + std::to_string(Query.RecordCount())); });
  Query.SetAfterClose([&](TDataSet&) { Events.push_back("AfterClose " + std::to_string(Query.RecordCount())); });

  Query.Close();  // closed already: nothing
  Query.Open();
  Query.Open();  // open already: nothing
  EXPECT_TRUE(Query.Active());
  Query.Close();
  Query.Close();
  EXPECT_EQ(Events, (std::vector<std::string>{"BeforeOpen", "AfterOpen 3", "BeforeClose 3", "AfterClose 0"}));
}

TEST_F(QueryTest, AFailedOpenRunsOnlyBeforeOpenAndLeavesTheQueryClosed) {
  std::vector<std::string> Events;
  auto Query = MakeQuery("select * from tabela_nenhuma");
  Query->SetBeforeOpen([&](TDataSet&) { Events.push_back("BeforeOpen"); });
  Query->SetAfterOpen([&](TDataSet&) { Events.push_back("AfterOpen"); });
  Query->SetBeforeClose([&](TDataSet&) { Events.push_back("BeforeClose"); });
  EXPECT_THROW(Query->Open(), EDatabaseError);
  EXPECT_FALSE(Query->Active());
  EXPECT_EQ(Query->FieldCount(), 0);
  Query->Close();
  EXPECT_EQ(Events, (std::vector<std::string>{"BeforeOpen"}));
}

TEST_F(QueryTest, ChangingTheStatementClosesAnOpenQueryWithItsEvents) {
  std::vector<std::string> Events;
  auto Query = MakeQuery("select produto from tabest1");
  Query->SetBeforeClose([&](TDataSet&) { Events.push_back("BeforeClose"); });
  Query->SetAfterClose([&](TDataSet&) { Events.push_back("AfterClose"); });
  Query->Open();
  Query->SQL().Clear();
  EXPECT_FALSE(Query->Active());
  EXPECT_EQ(Events, (std::vector<std::string>{"BeforeClose", "AfterClose"}));
}

TEST_F(QueryTest, DestroyingAnOpenQueryRunsNoEvent) {
  int Closes = 0;
  {
    auto Query = MakeQuery("select produto from tabest1");
    Query->SetBeforeClose([&](TDataSet&) { ++Closes; });
    Query->SetAfterClose([&](TDataSet&) { ++Closes; });
    Query->Open();
  }
  EXPECT_EQ(Closes, 0);
}

TEST_F(QueryTest, ChangingTheFolderOfAnOpenQueryFails) {
  auto Query = MakeQuery("select produto from tabest1");
  Query->Open();
  EXPECT_EQ(FailureOf([&] { Query->SetDatabaseName(Folder() + "/outra"); }),
            "Cannot perform this operation on an open database");
  EXPECT_EQ(Query->DatabaseName(), Folder());
  EXPECT_TRUE(Query->Active());
  Query->SetDatabaseName(Folder());  // the same folder again changes nothing
  EXPECT_TRUE(Query->Active());
  Query->Close();
  Query->SetDatabaseName(Folder() + "/outra");
  EXPECT_EQ(Query->DatabaseName(), Folder() + "/outra");
}

TEST_F(QueryTest, UpperInAStatementRaisesOnlyAToZAndParametersMatchByNameInAnyCase) {
  struct TCase {
    const char* Name;
    const char* Password;
    std::int32_t Rows;
    std::int32_t Level;
  };
  // upper() raises only a to z: a caller raising its values the same way finds the row.
  // What a login answers is decided above the engine (support/login_outcomes.h).
  const TCase Cases[] = {
      {"ADMIN", "ZUL123", 1, 9},
      {"JOãO", "CAFé", 1, 5},
      {"JOÃO", "CAFÉ", 0, 0},
      {"ADMIN", "ERRADA", 0, 0},
  };
  auto Query = MakeQuery(kLookupStatement);
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Query->ParamByName("pNome").SetAsString(Case.Name);
    Query->ParamByName("PSENHA").SetAsString(Case.Password);
    Query->Open();
    EXPECT_EQ(Query->RecordCount(), Case.Rows);
    EXPECT_EQ(Query->Fields(0).AsInteger(), Case.Level);
    EXPECT_FALSE(Query->Fields(1).AsBoolean());
    EXPECT_EQ(Query->Fields(2).AsBoolean(), Case.Rows == 1);
    Query->Close();
  }
}

TEST_F(QueryTest, ParametersAreTheStatementsOnceItRunsAndStartUnboundWithEachChange) {
  auto Query = MakeQuery(kLookupStatement);
  Query->ParamByName("pNome").SetAsString("ADMIN");
  EXPECT_EQ(FailureOf([&] { Query->Open(); }), "No value for parameter: pSenha");
  // Once it ran, the list is the statement's, in its order and spelling.
  ASSERT_EQ(Query->Params().Count(), 2);
  EXPECT_EQ(Query->Params()[0].Name(), "pNome");
  EXPECT_TRUE(Query->Params()[0].Bound());
  EXPECT_EQ(Query->Params()[1].Name(), "pSenha");
  EXPECT_FALSE(Query->Params()[1].Bound());
  EXPECT_EQ(FailureOf([&] { Query->ParamByName("pOutro"); }), "Parameter not found: pOutro");

  // A new statement binds nothing left over from the one before.
  Query->SQL().Clear();
  Query->SQL().Add("select nivel from tabuser where upper(nome)=:PNOME");
  EXPECT_EQ(Query->Params().Count(), 0);
  EXPECT_EQ(FailureOf([&] { Query->Open(); }), "No value for parameter: PNOME");
  Query->ParamByName("pnome").SetAsString("ADMIN");
  Query->Open();
  EXPECT_EQ(Query->Fields(0).AsInteger(), 9);

  // A null is a value too, which matches nothing here.
  Query->Close();
  Query->ParamByName("pnome").Clear();
  Query->Open();
  EXPECT_EQ(Query->RecordCount(), 0);

  // A value bound under a name the statement lacks fails the run, whose list stays as
  // it was bound.
  Query->SQL().Clear();
  Query->SQL().Add("select nivel from tabuser where upper(nome)=:pNome");
  Query->ParamByName("pNome").SetAsString("ADMIN");
  Query->ParamByName("pOutro").SetAsString("x");
  EXPECT_EQ(FailureOf([&] { Query->Open(); }), "Parameter not found: pOutro");
  EXPECT_EQ(Query->Params().Count(), 2);
}

TEST_F(QueryTest, ParameterNamesAreTheOnesSQLiteReadsInTheText) {
  // No parameter inside quoted text or comments; a name may hold any letter, or start
  // with a digit, as SQLite reads it.
  auto Query = MakeQuery(
      "select nivel, ':x' as t from tabuser /* :y */ where upper(nome) = :pre\xC3\xA7o -- :z\n and nivel > :2");
  Query->ParamByName("pre\xC3\xA7o").SetAsString("ADMIN");
  Query->ParamByName("2").SetAsInteger(5);
  Query->Open();
  ASSERT_EQ(Query->RecordCount(), 1);
  EXPECT_EQ(Query->Fields(0).AsInteger(), 9);
  ASSERT_EQ(Query->Params().Count(), 2);
  EXPECT_EQ(Query->Params()[0].Name(), "pre\xC3\xA7o");
  EXPECT_EQ(Query->Params()[1].Name(), "2");

  // The other ways SQLite writes a parameter give no name to bind by.
  for (const char* Marker : {"?1", "@n", "$n"}) {
    SCOPED_TRACE(Marker);
    auto Unnamed = MakeQuery(std::string("select nivel from tabuser where nivel > ") + Marker);
    EXPECT_EQ(FailureOf([&] { Unnamed->Open(); }), "Parameters must be named (:name)");
  }
}

TEST_F(QueryTest, NavigationWalksTheRecordsBothWays) {
  auto Query = MakeQuery("select produto, codigo from tabest1 order by codigo");
  // The current record's values taken at once are the fields' values, wherever it stands.
  const auto RowIsCurrent = [&Query] {
    const TFieldValue* Row = Query->CurrentRow();
    return Row != nullptr && Row[0] == Query->Fields(0).Value() && Row[1] == Query->Fields(1).Value();
  };
  Query->Open();
  std::vector<std::string> Forward;
  for (Query->First(); !Query->Eof(); Query->Next()) {
    Forward.push_back(Query->Fields(0).AsString());
    EXPECT_TRUE(RowIsCurrent()) << Forward.back();
  }
  ASSERT_EQ(Query->RecordCount(), 4);
  EXPECT_EQ(Forward, (std::vector<std::string>{"Pão", "Café", "Arroz", "Açúcar"}));
  // Past the end, the last record stays current.
  EXPECT_EQ(Query->RecNo(), 4);
  EXPECT_EQ(Query->Fields(0).AsString(), "Açúcar");

  std::vector<std::string> Backward;
  Query->First();  // then Last keeps every record: they are walked back without reading again
  for (Query->Last(); !Query->Bof(); Query->Prior()) {
    Backward.push_back(Query->FieldByName("PRODUTO").AsString());
    EXPECT_TRUE(RowIsCurrent()) << Backward.back();
  }
  EXPECT_EQ(Backward, (std::vector<std::string>{"Açúcar", "Arroz", "Café", "Pão"}));
  EXPECT_EQ(Query->RecNo(), 1);

  Query->Close();
  Query->SQL().Clear();
  Query->SQL().Add("select produto from tabest1 where 1 = 0");
  Query->Open();
  EXPECT_TRUE(Query->IsEmpty());
  EXPECT_TRUE(Query->Eof());
  EXPECT_TRUE(Query->Bof());
  EXPECT_EQ(Query->RecNo(), 0);
  EXPECT_TRUE(Query->Fields(0).IsNull());
  EXPECT_EQ(Query->CurrentRow(), nullptr);
}

TEST_F(QueryTest, RowsAreReadAsTheCallerReachesThemAndGoingBackReadsAgain) {
  // The third row cannot be computed: the query opens, and fails only there.
  auto Failing = MakeQuery(
      "select produto, abs(case when codigo = 3 then -9223372036854775807 - 1 else codigo end) from tabest1 "
      "order by codigo");
  Failing->Open();
  EXPECT_EQ(Failing->Fields(0).AsString(), "Pão");
  Failing->Next();
  EXPECT_EQ(Failing->Fields(1).AsInteger(), 2);
  EXPECT_THROW(Failing->Next(), EDatabaseError);
  Failing->Close();

  auto Query = MakeQuery("select produto from tabest1 order by codigo");
  Query->Open();
  Query->Next();
  Query->Next();
  EXPECT_EQ(Query->Fields(0).AsString(), "Arroz");
  Query->Prior();
  EXPECT_EQ(Query->Fields(0).AsString(), "Café");
  EXPECT_FALSE(Query->Bof());
  Query->First();
  EXPECT_EQ(Query->Fields(0).AsString(), "Pão");
  EXPECT_TRUE(Query->Bof());
  EXPECT_EQ(Query->RecNo(), 1);
  Query->Next();
  EXPECT_EQ(Query->Fields(0).AsString(), "Café");
  EXPECT_EQ(Query->RecordCount(), 4);
  EXPECT_EQ(Query->RecNo(), 2);
}

TEST_F(QueryTest, FieldsDescribeTheirColumns) {
  auto Query = MakeQuery(
      "select codigo, produto, precocusto, precovenda, quantidade, inativo, upper(produto) as grande, 1 + 1 as dois "
      "from tabest1");
  Query->Open();
  struct TExpected {
    const char* Name;
    FT Type;
    std::int32_t Size;
    std::int32_t Precision;
    const char* Origin;
    bool ReadOnly;
  };
  const TExpected Expected[] = {
      {"codigo", FT::ftAutoInc, 0, 0, "tabest1.codigo", false},
      {"produto", FT::ftWideString, 60, 0, "tabest1.produto", false},
      {"precocusto", FT::ftCurrency, 0, 0, "tabest1.precocusto", false},
      {"precovenda", FT::ftFMTBcd, 2, 15, "tabest1.precovenda", false},
      {"quantidade", FT::ftFloat, 0, 0, "tabest1.quantidade", false},
      {"inativo", FT::ftBoolean, 0, 0, "tabest1.inativo", false},
      {"grande", FT::ftWideMemo, 0, 0, "", true},  // expressions: by their values
      {"dois", FT::ftLargeint, 0, 0, "", true},
  };
  ASSERT_EQ(Query->FieldCount(), 8);
  for (std::int32_t i = 0; i < 8; ++i) {
    const TField& Field = Query->Fields(i);
    SCOPED_TRACE(Field.FieldName());
    EXPECT_EQ(Field.FieldName(), Expected[i].Name);
    EXPECT_EQ(FieldTypeName(Field.DataType()), FieldTypeName(Expected[i].Type));
    EXPECT_EQ(Field.Size(), Expected[i].Size);
    EXPECT_EQ(Field.Precision(), Expected[i].Precision);
    EXPECT_EQ(Field.Origin(), Expected[i].Origin);
    EXPECT_EQ(Field.ReadOnly(), Expected[i].ReadOnly);
    EXPECT_EQ(Field.ProviderFlags(), TProviderFlag::pfInUpdate | TProviderFlag::pfInWhere);
    EXPECT_EQ(Field.FieldKind(), TFieldKind::fkData);
  }
  EXPECT_EQ(Query->TableName(), "tabest1");
  EXPECT_EQ(Query->KeyFields(), "codigo");

  Query->Close();
  Query->SQL().Clear();
  Query->SQL().Add("select u.nome, e.produto from tabuser u, tabest1 e");
  Query->Open();
  EXPECT_TRUE(Query->Fields(0).Required());  // declared not null
  EXPECT_FALSE(Query->Fields(1).Required());
  EXPECT_EQ(Query->TableName(), "");  // two tables
}

TEST_F(QueryTest, AnOpenQueryTravelsAsATableOfItsFields) {
  std::shared_ptr<TQuery> Query = MakeQuery("select produto, quantidade from tabest1 order by codigo");
  Query->Open();
  Query->Last();  // wherever it stands, a reader starts at the first record
  TDataSetReader Reader(Query);
  EXPECT_EQ(Reader.ValueType(0).DataType(), TDBXDataTypes::WideStringType);
  EXPECT_EQ(Reader.ValueType(0).Size(), 60);
  EXPECT_EQ(Reader.ValueType(1).DataType(), TDBXDataTypes::DoubleType);
  std::vector<std::u16string> Names;
  while (Reader.Next()) Names.push_back(dynamic_cast<const TDBXWideStringValue&>(Reader.Value(0)).GetWideString());
  EXPECT_EQ(Names, (std::vector<std::u16string>{u"Pão", u"Café", u"Arroz", u"Açúcar"}));
  Reader.Close();
  EXPECT_FALSE(Query->Active());  // a reader closes a dataset nobody else owns
}

TEST_F(QueryTest, TextRoundTripsWithoutLoss) {
  const std::string Texts[] = {
      "Açúcar, pão, café, maçã",
      "Ação — “aspas” … € ß",
      "緑茶 日本酒 한국어 Кефир עברית",
      "🎂🕯️👍🏽 e",                         // beyond the 16-bit range, with modifiers
      "e\u0301 (a combining accent)",
      std::string("null\0inside", 11),  // a zero byte in the middle
      "",
  };
  auto Insert = MakeQuery("insert into notas (texto) values (:t)");
  auto Find = MakeQuery("select texto, length(texto) from notas where texto = :t");
  for (const std::string& Text : Texts) {
    SCOPED_TRACE(Text);
    Insert->ParamByName("t").SetAsString(Text);
    Insert->ExecSQL();
    EXPECT_EQ(Insert->RowsAffected(), 1);
    Find->ParamByName("t").SetAsString(Text);
    Find->Open();
    ASSERT_EQ(Find->RecordCount(), 1);
    EXPECT_EQ(Find->Fields(0).AsString(), Text);
    EXPECT_EQ(Find->Fields(0).AsWideString(), ToUtf16(Text));
    Find->Close();
  }
}

TEST_F(QueryTest, ADataFolderWrittenWithBackslashesIsFound) {
  std::string ProductPath = Folder();
  std::replace(ProductPath.begin(), ProductPath.end(), '/', '\\');
  auto Query = MakeQuery("select produto from tabest1");
  Query->SetDatabaseName(ProductPath);
  Query->Open();
  EXPECT_EQ(Query->RecordCount(), 4);
}

TEST_F(QueryTest, EngineFailuresRaiseWithClearMessages) {
  const std::string Missing = Folder() + "/nenhuma";
  std::filesystem::create_directory(Folder() + "/vazia");
  struct TCase {
    std::string DatabaseName;
    std::string Sql;
    std::string Message;
  };
  const TCase Cases[] = {
      {Missing, "select 1", "Data folder not found: " + Missing},
      {Folder() + "/vazia", "select 1",
       "Database file not found: " + (std::filesystem::path(Folder() + "/vazia") / "tabelas.db").string()},
      {Folder(), "select nome from tabcli", "Table not found: tabcli"},
      {Folder(), "selec nome from tabuser", "Statement not accepted: near \"selec\": syntax error"},
      {Folder(), "select nada from tabest1", "Statement not accepted: no such column: nada"},
      {Folder(), "select 1; select 2", "Statement not accepted: only one statement may be run at a time"},
      {Folder(), "update tabest1 set quantidade = 0", "The statement returns no rows"},
      {Folder(), "select ?", "Parameters must be named (:name)"},
      {Folder(), "  ", "No SQL statement"},
      {Folder(), "-- only a comment", "No SQL statement"},
      {"", "select 1", "No database name"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Sql);
    TQuery Query(FSession);
    Query.SetDatabaseName(Case.DatabaseName);
    Query.SQL().Add(Case.Sql);
    try {
      Query.Open();
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(std::string(e.what()), Case.Message);
      EXPECT_EQ(e.ErrorCode(), TDBXErrorCodes::NonDbxException);
    }
    EXPECT_FALSE(Query.Active());
  }
}

TEST_F(QueryTest, ExecSQLChangesRowsAndReportsHowMany) {
  auto Update = MakeQuery("update tabest1 set quantidade = quantidade + 1 where inativo = false");
  Update->ExecSQL();
  EXPECT_EQ(Update->RowsAffected(), 2);
  auto Check = MakeQuery("select sum(quantidade) from tabest1");
  Check->Open();
  EXPECT_DOUBLE_EQ(Check->Fields(0).AsFloat(), 120 + 4.25 + 0 + 11);

  auto Broken = MakeQuery("insert into tabuser (nome) values (null)");
  EXPECT_EQ(FailureOf([&] { Broken->ExecSQL(); }), "Statement failed: NOT NULL constraint failed: tabuser.nome");
}

}  // namespace
}  // namespace tavrin
