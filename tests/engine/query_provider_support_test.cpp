// What a query answers the provider that serves it: its key fields, its parameters read
// and bound from variants, a new statement, running it, and the end of a request.

#include "engine/query_provider_support.h"

#include <gtest/gtest.h>

#include "dataset/database_error.h"
#include "engine/database_fixture.h"
#include "support/error_of.h"

namespace tavrin::testing {
namespace {

class QueryProviderSupportTest : public TDatabaseFixture {
 protected:
  QueryProviderSupportTest() {
    CreateDatabase(
        "create table itens (codigo integer primary key, nome varchar(20), preco money, visto text);"
        "insert into itens values (1, 'um', 1.5, null), (2, 'dois', 2.5, null), (3, 'tr\u00eas', 3.5, null)");
  }
  std::unique_ptr<TQuery> Query = MakeQuery();
  TQueryProviderSupport Support{*Query};
};

TEST_F(QueryProviderSupportTest, ParametersAreReadAndBoundByNameFromVariants) {
  Support.SetCommandText("select codigo, nome from itens where codigo >= :pMin and nome <> :pNome");
  const std::vector<TProviderParam> Unbound = Support.Params();
  ASSERT_EQ(Unbound.size(), 2u);
  EXPECT_EQ(Unbound[0].Name, "pMin");
  EXPECT_TRUE(Unbound[0].Value.IsNull());
  EXPECT_EQ(Unbound[0].ParamType, TParamType::ptInput);

  Support.SetParams({{"pMin", std::int16_t{2}}, {"PNOME", std::u16string(u"tr\u00eas")}});
  const std::vector<TProviderParam> Bound = Support.Params();
  EXPECT_EQ(Bound[0].Value, TDSVariant(std::int32_t{2}));
  EXPECT_EQ(Bound[0].DataType, TFieldType::ftInteger);
  EXPECT_EQ(Bound[1].Value, TDSVariant(std::u16string(u"tr\u00eas")));
  Query->Open();
  EXPECT_EQ(Query->RecordCount(), 1);
  EXPECT_EQ(Query->Fields(1).AsString(), "dois");
  EXPECT_EQ(Support.KeyFields(), "codigo");

  EXPECT_EQ(ErrorOf([&] { Support.SetParams({{"pOutro", std::int32_t{1}}}); }).Message(), "Parameter not found: pOutro");
  EXPECT_EQ(ErrorOf([&] { Support.SetParams({{"pMin", TVariantError{1}}}); }).Message(),
            "Parameter pMin: a value of this kind cannot be bound");
}

TEST_F(QueryProviderSupportTest, TheCommandRunsAndDatesMoneyAndNullsAreBound) {
  Support.SetCommandText("update itens set preco = :pPreco, visto = :pVisto, nome = :pNome where codigo = 2");
  Support.SetParams({{"pPreco", TDSCurrency{99900}}, {"pVisto", TDSDateTime{45351.5}}, {"pNome", TDSVariant::Null()}});
  Support.Execute();
  EXPECT_EQ(Query->RowsAffected(), 1);
  auto Check = MakeQuery("select preco, visto, nome from itens where codigo = 2");
  Check->Open();
  EXPECT_EQ(Check->Fields(0).AsFloat(), 9.99);
  EXPECT_EQ(Check->Fields(1).AsString(), "2024-02-29 12:00:00.000");
  EXPECT_TRUE(Check->Fields(2).IsNull());
}

TEST_F(QueryProviderSupportTest, TheEndOfARequestKeepsTheRestOfTheRowsWithTheQuery) {
  // With a rollback journal a reader keeps writers out, so a read left open would show.
  TSqliteConnection(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile).Execute("pragma journal_mode = delete");
  Support.SetCommandText("select codigo from itens order by codigo");
  Query->Open();
  Query->Next();
  Support.EndRequest();
  // A writer goes ahead while the query stays on its row with the rest behind it.
  TSqliteConnection Writer(DatabaseFile(), TSqliteConnection::TOpenMode::ExistingFile);
  Writer.Execute("pragma busy_timeout = 0; delete from itens");
  EXPECT_EQ(Query->Fields(0).AsInteger(), 2);
  Query->Next();
  EXPECT_EQ(Query->Fields(0).AsInteger(), 3);
  Support.EndRequest();  // on a closed query, nothing
  Query->Close();
  Support.EndRequest();
}

}  // namespace
}  // namespace tavrin::testing
