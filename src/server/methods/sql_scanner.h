#pragma once
// TDBXSqlScanner: a small tokenizer for command texts. It knows just enough to pick
// method names, qualified names and literal parameter lists out of a text: identifiers
// (plain or quoted), numbers and the punctuation between them.
//
// Threading: one scanner per connection, used by its thread only.

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

// Blanks, tabs, carriage returns and line feeds: what separates the words of a command text.
bool IsBlank(char16_t C);

enum class TDBXSqlToken {
  End,         // no characters left
  Identifier,  // letters, digits, '_' from a letter or '_'; or a quoted name
  Number,      // a digit followed by digits and points
  Comma,
  Period,
  Semicolon,
  OpenParen,
  CloseParen,
  Other,       // any other character, or a quoted name without its closing quote
};

class TDBXSqlScanner {
 public:
  // The quote character of this server's command texts.
  static constexpr char16_t kDoubleQuote = u'"';

  // QuotePrefix opens and QuoteSuffix closes a quoted name; inside it a doubled suffix
  // stands for one.
  explicit TDBXSqlScanner(char16_t QuotePrefix = kDoubleQuote, char16_t QuoteSuffix = kDoubleQuote)
      : FQuotePrefix(QuotePrefix), FQuoteSuffix(QuoteSuffix) {}

  // Starts over on Text, which must outlive the tokens read from it (it is not copied:
  // a command text may be long).
  void Init(std::u16string_view Text);
  // Symbols read from now on keep at most Units code units (0: no bound); their tokens
  // are consumed whole all the same. For a name that is only looked up and quoted.
  void LimitSymbols(std::size_t Units) { FSymbolLimit = Units; }

  // The next token. Blanks, tabs, carriage returns and line feeds separate tokens;
  // "--" starts a comment that runs to the end of the line. Never raises.
  TDBXSqlToken NextToken();

  // Text of the last token: an identifier's name (a quoted one without its quotes and
  // with doubled quotes made single), a number's digits, a punctuation character.
  const std::u16string& Symbol() const { return FSymbol; }
  // True when the last identifier was quoted.
  bool SymbolWasQuoted() const { return FQuoted; }

 private:
  void SkipBlanksAndComments();
  TDBXSqlToken ScanQuoted();
  void Keep(char16_t C) {
    if (FSymbolLimit == 0 || FSymbol.size() < FSymbolLimit) FSymbol.push_back(C);
  }

  char16_t FQuotePrefix;
  char16_t FQuoteSuffix;
  std::u16string_view FText;
  std::size_t FSymbolLimit = 0;
  std::size_t FPos = 0;
  std::u16string FSymbol;
  bool FQuoted = false;
};

}  // namespace tavrin
