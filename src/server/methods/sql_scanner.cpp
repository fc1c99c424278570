#include "server/methods/sql_scanner.h"

namespace tavrin {

bool IsBlank(char16_t C) { return C == u' ' || C == u'\t' || C == u'\r' || C == u'\n'; }

namespace {

bool IsDigit(char16_t C) { return C >= u'0' && C <= u'9'; }
// Letters beyond ASCII count as letters, so names with accents stay one identifier.
bool IsLetter(char16_t C) {
  return (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || C == u'_' || C >= 0x80;
}

}  // namespace

void TDBXSqlScanner::Init(std::u16string_view Text) {
  FText = Text;
  FPos = 0;
  FSymbol.clear();
  FQuoted = false;
}

void TDBXSqlScanner::SkipBlanksAndComments() {
  while (FPos < FText.size()) {
    if (IsBlank(FText[FPos])) {
      ++FPos;
    } else if (FText[FPos] == u'-' && FPos + 1 < FText.size() && FText[FPos + 1] == u'-') {
      while (FPos < FText.size() && FText[FPos] != u'\n') ++FPos;
    } else {
      return;
    }
  }
}

TDBXSqlToken TDBXSqlScanner::ScanQuoted() {
  ++FPos;  // the quote prefix
  FQuoted = true;
  while (FPos < FText.size()) {
    const char16_t C = FText[FPos++];
    if (C != FQuoteSuffix) {
      Keep(C);
    } else if (FPos < FText.size() && FText[FPos] == FQuoteSuffix) {
      Keep(C);
      ++FPos;
    } else {
      return TDBXSqlToken::Identifier;
    }
  }
  return TDBXSqlToken::Other;
}

TDBXSqlToken TDBXSqlScanner::NextToken() {
  FSymbol.clear();
  FQuoted = false;
  SkipBlanksAndComments();
  if (FPos >= FText.size()) return TDBXSqlToken::End;

  const char16_t C = FText[FPos];
  if (C == FQuotePrefix) return ScanQuoted();
  if (IsLetter(C)) {
    while (FPos < FText.size() && (IsLetter(FText[FPos]) || IsDigit(FText[FPos]))) {
      Keep(FText[FPos++]);
    }
    return TDBXSqlToken::Identifier;
  }
  if (IsDigit(C)) {
    while (FPos < FText.size() && (IsDigit(FText[FPos]) || FText[FPos] == u'.')) {
      Keep(FText[FPos++]);
    }
    return TDBXSqlToken::Number;
  }
  FSymbol.push_back(C);
  ++FPos;
  switch (C) {
    case u',': return TDBXSqlToken::Comma;
    case u'.': return TDBXSqlToken::Period;
    case u';': return TDBXSqlToken::Semicolon;
    case u'(': return TDBXSqlToken::OpenParen;
    case u')': return TDBXSqlToken::CloseParen;
    default: return TDBXSqlToken::Other;
  }
}

}  // namespace tavrin
