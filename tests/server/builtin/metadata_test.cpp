#include "server/builtin/metadata.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "server/builtin/admin_fixture.h"
#include "server/builtin/memory_table.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;
using Texts = std::vector<std::string>;

TEST(DSMetadata, ProceduresPassTheNameAndKindFilters) {
  const std::string Count = "|reader|TFakeMethods.Count|FUNCTION";
  const std::string Reset = "|reader|TFakeMethods.Reset|PROCEDURE";
  const std::string Exchange = "|reader|TFakeMethods.Exchange|PROCEDURE";
  struct TCase { std::u16string Pattern; std::u16string Type; Texts Rows; };
  const TCase Cases[] = {
      {u"TFakeMethods.", u"", {Count, Reset, Exchange}},
      {u"TFakeMethods.", u"FUNCTION", {Count}},
      {u"TFakeMethods.", u"PROCEDURE", {Reset, Exchange}},
      // The kind is compared exactly: any other text passes every method.
      {u"TFakeMethods.", u"function", {Count, Reset, Exchange}},
      {u"Exchange", u"", {Exchange}},
      // The name is compared with its letter case.
      {u"tfakemethods.", u"", {}},
      // "%" is every name; the built-in classes' only procedures change the registry.
      {u"%", u"PROCEDURE",
       {"||DSAdmin.CreateServerClasses|PROCEDURE", "||DSAdmin.DropServerClasses|PROCEDURE",
        "||DSAdmin.CreateServerMethods|PROCEDURE", "||DSAdmin.DropServerMethods|PROCEDURE", Reset, Exchange}},
  };
  TAdminConnection c;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Pattern) + " / " + ToUtf8(Case.Type));
    TDSMethodCall Call = c.Call(DSMetadataDeclaration(), "GetProcedures", {Case.Pattern, Case.Type});
    EXPECT_EQ(RowsOf(ResultTable(Call)), Case.Rows);
  }
  // An empty pattern, like "%", passes every method; "FUNCTION" all but the six procedures.
  const std::size_t All = c.Methods.MethodList().size();
  for (const auto& [Pattern, Type, Rows] : {std::tuple{u"", u"", All}, std::tuple{u"%", u"", All},
                                             std::tuple{u"%", u"FUNCTION", All - 6}}) {
    TDSMethodCall Call =
        c.Call(DSMetadataDeclaration(), "GetProcedures", {std::u16string(Pattern), std::u16string(Type)});
    EXPECT_EQ(RowsOf(ResultTable(Call)).size(), Rows);
  }
}

TEST(DSMetadata, ProcedureParametersDescribeEachParameterAndTheResult) {
  // CatalogName|SchemaName|ProcedureName|ParameterName|ParameterMode|TypeName|Precision|Scale|
  // Ordinal|IsNullable|DbxDataType|IsFixedLength|IsUnicode|IsLong|IsUnsigned
  struct TCase { std::u16string Pattern; Texts Rows; };
  const TCase Cases[] = {
      {u"TFakeMethods.Count",
       {"|reader|TFakeMethods.Count|Filter|IN|TDBXTypes.WideString|-1|-1|0|false|26|false|true|false|false",
        "|reader|TFakeMethods.Count|Limit|IN|TDBXTypes.INT32|-1|-1|1|false|6|false|false|false|false",
        "|reader|TFakeMethods.Count|ReturnValue|RESULT|TDBXTypes.INT32|-1|-1|2|false|6|false|false|false|false"}},
      {u"Exchange",
       {"|reader|TFakeMethods.Exchange|Counter|INOUT|TDBXTypes.INT32|-1|-1|0|false|6|false|false|false|false",
        "|reader|TFakeMethods.Exchange|Note|OUT|TDBXTypes.WideString|-1|-1|1|false|26|false|true|false|false",
        "|reader|TFakeMethods.Exchange|Data|INOUT|TDBXTypes.UNKNOWN(33)|-1|-1|2|true|33|false|false|true|false",
        "|reader|TFakeMethods.Exchange|Rows|IN|TDBXTypes.TABLE|-1|-1|3|false|23|false|false|false|false"}},
      {u"TFakeMethods.Reset", {}},
      // "%" is no wildcard here, and no alias contains it.
      {u"%", {}},
  };
  TAdminConnection c;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Pattern));
    TDSMethodCall Call = c.Call(DSMetadataDeclaration(), "GetProcedureParameters", {Case.Pattern});
    EXPECT_EQ(RowsOf(ResultTable(Call)), Case.Rows);
  }
  TDSMethodCall Every = c.Call(DSMetadataDeclaration(), "GetProcedureParameters", {std::u16string()});
  EXPECT_EQ(RowsStartingWith(ResultTable(Every), "|reader|TFakeMethods.Count|").size(), 3u);
}

TEST(DSMetadata, DatabaseIsOneRowOfSeventeenColumns) {
  TAdminConnection c;
  TDSMethodCall Call = c.Call(DSMetadataDeclaration(), "GetDatabase");
  TDBXReader& Table = ResultTable(Call);
  EXPECT_EQ(dynamic_cast<TDSMemoryTable&>(Table).TableName(), "");
  EXPECT_EQ(ColumnsOf(Table),
            (Texts{"QuoteChar:26:16:0", "ProcedureQuoteChar:26:16:0", "MaxCommands:6:0:0",
                   "SupportsTransactions:4:0:0", "SupportsNestedTransactions:4:0:0", "SupportsRowSetSize:4:0:0",
                   "ProductVersion:26:128:0", "ProductName:26:128:0", "QuotePrefix:26:16:0", "QuoteSuffix:26:16:0",
                   "SupportsLowerCaseIdentifiers:4:0:0", "SupportsUpperCaseIdentifiers:4:0:0",
                   "SupportsSPReturnCode:4:0:0", "SupportsParameterMetadata:4:0:0",
                   "SupportsCatalogFunctions:4:0:0", "SupportsCatalogFunctions:4:0:0",
                   "SupportsCatalogFunctions:4:0:0"}));
  EXPECT_EQ(RowsOf(Table), (Texts{R"("|"|2147483647|false|false|false|2008|Corvane|"|"|false|false|false|false|)"
                                  R"(false|false|false)"}));
}

TEST(DSMetadata, ProcedureTablesHaveTheirNamesAndColumns) {
  struct TCase { const char* Method; std::vector<TDSArgument> Arguments; const char* TableName; Texts Columns; };
  const TCase Cases[] = {
      {"GetProcedures", {std::u16string(), std::u16string()}, "ProceduresTable",
       {"CatalogName[Catalog Name]:26:256:1", "SchemaName[Schema Name]:26:256:1",
        "ProcedureName[Procedure Name]:26:256:1", "ProcedureType[Procedure Type]:26:256:1"}},
      {"GetProcedureParameters", {std::u16string()}, "ProcedureParameters",
       {"CatalogName[Catalog Name]:26:256:1", "SchemaName[Schema Name]:26:256:1",
        "ProcedureName[Procedure Name]:26:256:1", "ParameterName[Parameter Name]:26:256:1",
        "ParameterMode[Parameter Mode]:26:256:1", "TypeName[Type Name]:26:256:1", "Precision:18:8:1", "Scale:6:4:1",
        "Ordinal:6:4:1", "IsNullable[Nullable]:4:1:1", "DbxDataType[DbxType]:6:4:64",
        "IsFixedLength[Fixed Length]:4:1:64", "IsUnicode[Unicode]:4:1:64", "IsLong[Long]:4:1:64",
        "IsUnsigned[Unsigned]:4:1:64"}},
  };
  TAdminConnection c;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Method);
    TDSMethodCall Call = c.Call(DSMetadataDeclaration(), Case.Method, Case.Arguments);
    TDBXReader& Table = ResultTable(Call);
    EXPECT_EQ(dynamic_cast<TDSMemoryTable&>(Table).TableName(), Case.TableName);
    EXPECT_EQ(ColumnsOf(Table), Case.Columns);
  }
}

}  // namespace
}  // namespace tavrin
