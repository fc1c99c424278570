#include "server/methods/command_type.h"

#include "vocabulary/client_text.h"
#include "vocabulary/dbx_error.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/sql_scanner.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

// Characters before the keyword's "c" must leave more than this many.
constexpr std::size_t kMinCallTextAfterKeyword = 5;

bool IsServerMethodType(std::u16string_view Type) {
  return SameTextIgnoringCase(Type, TDSCommandTypes::kServerMethod);
}

// Reads identifiers joined by "." up to the token that ends the run, which is consumed.
std::u16string ReadQualifiedName(TDBXSqlScanner& Scanner) {
  std::u16string Name;
  while (Scanner.NextToken() == TDBXSqlToken::Identifier) {
    Name += Scanner.Symbol();
    if (Scanner.NextToken() != TDBXSqlToken::Period) break;
    Name += u'.';
  }
  return Name;
}

std::u16string Quoted(const std::u16string& Name) {
  std::u16string Text(1, TDBXSqlScanner::kDoubleQuote);
  for (char16_t C : Name) {
    if (C == TDBXSqlScanner::kDoubleQuote) Text += C;
    Text += C;
  }
  Text += TDBXSqlScanner::kDoubleQuote;
  return Text;
}

[[noreturn]] void RaiseUnrecognized(std::u16string_view CommandType) {
  std::string Text = TDSCommandTypeErrors::kUnrecognized;
  Text.replace(Text.find("%s"), 2, QuotedClientText(ToUtf8(CommandType)));
  throw TDBXError(TDBXErrorCodes::UnrecognizedCommandType, Text);
}

}  // namespace

std::optional<std::u16string_view> StripCallKeyword(std::u16string_view Text) {
  const std::u16string_view Keyword = TDSCommandTypes::kCallKeyword;
  std::size_t Start = 0;
  while (Start < Text.size() && IsBlank(Text[Start])) ++Start;
  const std::size_t After = Start + Keyword.size();
  if (Text.size() - Start <= kMinCallTextAfterKeyword) return std::nullopt;
  if (!SameTextIgnoringCase(Text.substr(Start, Keyword.size()), Keyword)) return std::nullopt;
  if (!IsBlank(Text[After])) return std::nullopt;
  return Text.substr(After + 1);
}

std::u16string LeadingMethodName(std::u16string_view Text) {
  auto IsSeparator = [](char16_t C) { return IsBlank(C) || C == TDBXSqlScanner::kDoubleQuote; };
  std::size_t Start = 0;
  while (Start < Text.size() && IsSeparator(Text[Start])) ++Start;
  std::size_t End = Start;
  while (End < Text.size() && !IsSeparator(Text[End]) && Text[End] != u'(') ++End;
  return std::u16string(Text.substr(Start, End - Start));
}

std::optional<std::u16string> RewriteMetadataCommand(std::u16string_view Text, TDBXSqlScanner& Scanner) {
  Scanner.Init(Text);
  if (Scanner.NextToken() != TDBXSqlToken::Identifier) return std::nullopt;
  if (SameTextIgnoringCase(Scanner.Symbol(), TDSCommandTypes::kGetProcedures)) {
    const std::u16string First = ReadQualifiedName(Scanner);
    const std::u16string Second = ReadQualifiedName(Scanner);
    return std::u16string(TDSCommandTypes::kGetProceduresMethod) + u"(" + Quoted(First) + u", " +
           Quoted(Second) + u")";
  }
  if (SameTextIgnoringCase(Scanner.Symbol(), TDSCommandTypes::kGetProcedureParameters)) {
    return std::u16string(TDSCommandTypes::kGetProcedureParametersMethod) + u"(" +
           Quoted(ReadQualifiedName(Scanner)) + u")";
  }
  return std::nullopt;
}

std::u16string ChooseServerMethodText(std::u16string_view CommandType, std::u16string CommandText,
                                      const IDSServerMethodProvider& Methods, TDBXSqlScanner& Scanner) {
  bool ServerMethod = IsServerMethodType(CommandType);
  if (const auto AfterCall = StripCallKeyword(CommandText)) {
    if (ServerMethod || Methods.HasMethod(LeadingMethodName(*AfterCall))) {
      // The text after the keyword runs; the keyword goes from the text's own room.
      CommandText.erase(0, CommandText.size() - AfterCall->size());
      ServerMethod = true;
    }
  } else if (SameTextIgnoringCase(CommandType, TDSCommandTypes::kStoredProcedure) &&
             Methods.HasMethod(LeadingMethodName(CommandText))) {
    ServerMethod = true;
  }
  if (ServerMethod) return CommandText;

  // Metadata requests are matched on the type exactly, as clients send it.
  if (CommandType != TDSCommandTypes::kMetaData) RaiseUnrecognized(CommandType);
  if (SameTextIgnoringCase(CommandText, TDSCommandTypes::kGetDatabase)) {
    return std::u16string(TDSCommandTypes::kGetDatabaseMethod);
  }
  if (auto Rewritten = RewriteMetadataCommand(CommandText, Scanner)) return *Rewritten;
  RaiseUnrecognized(CommandType);
}

}  // namespace tavrin
