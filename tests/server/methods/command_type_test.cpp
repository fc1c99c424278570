#include "server/methods/command_type.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "server/methods/sql_scanner.h"
#include "server/methods/server_connection_fixture.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

using testing::TTestMethods;

TEST(CommandType, TheCallKeywordIsStrippedOnlyWhereItOpensTheText) {
  struct TCase {
    std::u16string Text;
    std::optional<std::u16string_view> Rest;
  };
  const TCase Cases[] = {
      {u"call X.Y", u"X.Y"},
      {u" \t\r\nCaLL\nX.Y", u"X.Y"},
      {u"call  X.Y", u" X.Y"},  // only the one blank after the keyword goes
      {u"call x", u"x"},        // six characters from the "c" on
      {u"call ", std::nullopt},  // five are not enough
      {u"  call", std::nullopt},
      {u"callX.Y", std::nullopt},
      {u"recall X.Y", std::nullopt},
      {u"X.Y", std::nullopt},
      {u"", std::nullopt},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Text));
    EXPECT_EQ(StripCallKeyword(Case.Text), Case.Rest);
  }
}

TEST(CommandType, TheMethodNameEndsAtABlankAQuoteOrAParenthesis) {
  EXPECT_EQ(LeadingMethodName(u"X.Y"), u"X.Y");
  EXPECT_EQ(LeadingMethodName(u" \"X.Y\" z"), u"X.Y");
  EXPECT_EQ(LeadingMethodName(u"\tX.Y(\"a\", 1)"), u"X.Y");
  EXPECT_EQ(LeadingMethodName(u"  "), u"");
}

TEST(CommandType, MetadataTextsBecomeCallsOfTheBuiltInMethods) {
  struct TCase {
    std::u16string Text;
    std::optional<std::u16string> Rewritten;
  };
  const TCase Cases[] = {
      {u"GetProcedures", uR"(DSMetadata.GetProcedures("", ""))"},
      {u"getprocedures TvxServerMethods8765.%", uR"(DSMetadata.GetProcedures("TvxServerMethods8765.", ""))"},
      {u"GetProcedures a.b.c, d", uR"(DSMetadata.GetProcedures("a.b.c", "d"))"},
      {u"GetProcedures \"a b\".c, \"d\"\"e\"", uR"(DSMetadata.GetProcedures("a b.c", "d""e"))"},
      {u"GetProcedures -- all of them\n x", uR"(DSMetadata.GetProcedures("x", ""))"},
      {u"GetProcedureParameters", uR"(DSMetadata.GetProcedureParameters(""))"},
      {u"GETPROCEDUREPARAMETERS TvxServerMethods8765.FazerLogin",
       uR"(DSMetadata.GetProcedureParameters("TvxServerMethods8765.FazerLogin"))"},
      {u"GetTables", std::nullopt},
      {u"\"GetProcedures\"", uR"(DSMetadata.GetProcedures("", ""))"},  // a quoted name is one too
      {u"(GetProcedures)", std::nullopt},
      {u"", std::nullopt},
  };
  TDBXSqlScanner Scanner;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Text));
    EXPECT_EQ(RewriteMetadataCommand(Case.Text, Scanner), Case.Rewritten);
  }
}

TEST(CommandType, TheServerMethodTextFollowsTypeKeywordAndRegistry) {
  struct TCase {
    std::u16string Type;
    std::u16string Text;
    std::u16string Run;
  };
  const TCase Cases[] = {
      {u"Corvane.ServerMethod", u"Any.Thing", u"Any.Thing"},
      {u"Corvane.ServerMethod", u"call Any.Thing", u"Any.Thing"},
      {u"Dbx.SQL", u"call TTestMethods.Echo(\"x\")", u"TTestMethods.Echo(\"x\")"},
      {u"Dbx.StoredProcedure", u"ttestmethods.echo", u"ttestmethods.echo"},
      {u"Dbx.StoredProcedure", u"call TTestMethods.Echo", u"TTestMethods.Echo"},
      {u"Dbx.MetaData", u"getdatabase", u"DSMetadata.GetDatabase"},
      {u"Dbx.MetaData", u"GetProcedureParameters X.Y", uR"(DSMetadata.GetProcedureParameters("X.Y"))"},
  };
  TTestMethods Methods;
  TDBXSqlScanner Scanner;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Type + u" / " + Case.Text));
    EXPECT_EQ(ChooseServerMethodText(Case.Type, Case.Text, Methods, Scanner), Case.Run);
  }
  // The keyword before an unknown name leaves a plain SQL command, which is refused.
  const TDBXError Error = ErrorOf(
      [&] { ChooseServerMethodText(u"Dbx.SQL", u"call Other.Proc", Methods, Scanner); });
  EXPECT_EQ(Error.ErrorCode(), 30);
  EXPECT_EQ(Error.Message(), "Dbx.SQL is an unrecognized command type");
}

TEST(CommandTypeScanner, TokensOfACommandText) {
  TDBXSqlScanner Scanner;
  Scanner.Init(u" A_1.\"b \"\"q\"\"\"(12.5, x9);--note\n)-?\"open");
  const std::pair<TDBXSqlToken, std::u16string> Expected[] = {
      {TDBXSqlToken::Identifier, u"A_1"}, {TDBXSqlToken::Period, u"."},
      {TDBXSqlToken::Identifier, u"b \"q\""}, {TDBXSqlToken::OpenParen, u"("},
      {TDBXSqlToken::Number, u"12.5"},    {TDBXSqlToken::Comma, u","},
      {TDBXSqlToken::Identifier, u"x9"},  {TDBXSqlToken::CloseParen, u")"},
      {TDBXSqlToken::Semicolon, u";"},    {TDBXSqlToken::CloseParen, u")"},
      {TDBXSqlToken::Other, u"-"},        {TDBXSqlToken::Other, u"?"},
      {TDBXSqlToken::Other, u"open"},  // a quoted name without its closing quote
      {TDBXSqlToken::End, u""},           {TDBXSqlToken::End, u""},
  };
  for (const auto& [Token, Symbol] : Expected) {
    SCOPED_TRACE(ToUtf8(Symbol));
    EXPECT_EQ(Scanner.NextToken(), Token);
    EXPECT_EQ(Scanner.Symbol(), Symbol);
  }
}

}  // namespace
}  // namespace tavrin
