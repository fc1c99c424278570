#include "engine/column_types.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

namespace tavrin {
namespace {

using FT = TFieldType;

// How the numbers in parentheses after a type name are used.
enum class TArguments {
  None,       // ignored
  Length,     // (n): Size n; without it the type in NoLength applies
  Decimal,    // (p[, s]): Precision p, Size s; without p the type in NoLength applies
};

struct TNamedType {
  std::string_view Name;
  FT DataType;
  TArguments Arguments = TArguments::None;
  FT NoLength = FT::ftUnknown;
  std::int32_t Size = 0;
};

// Names compare after upper-casing and collapsing blanks.
constexpr std::array<TNamedType, 38> kNamedTypes = {{
    {"BOOLEAN", FT::ftBoolean},
    {"BOOL", FT::ftBoolean},
    {"BIT", FT::ftBoolean},
    {"TINYINT", FT::ftShortint},
    {"SMALLINT", FT::ftSmallint},
    {"INT2", FT::ftSmallint},
    {"INT", FT::ftInteger},
    {"INTEGER", FT::ftInteger},
    {"MEDIUMINT", FT::ftInteger},
    {"INT4", FT::ftInteger},
    {"BIGINT", FT::ftLargeint},
    {"INT8", FT::ftLargeint},
    {"UNSIGNED BIG INT", FT::ftLargeint},
    {"REAL", FT::ftFloat},
    {"FLOAT", FT::ftFloat},
    {"DOUBLE", FT::ftFloat},
    {"DOUBLE PRECISION", FT::ftFloat},
    {"MONEY", FT::ftCurrency},
    {"CURRENCY", FT::ftCurrency},
    {"DECIMAL", FT::ftFMTBcd, TArguments::Decimal, FT::ftFloat},
    {"NUMERIC", FT::ftFMTBcd, TArguments::Decimal, FT::ftFloat},
    {"CHAR", FT::ftFixedWideChar, TArguments::Length, FT::ftWideMemo},
    {"CHARACTER", FT::ftFixedWideChar, TArguments::Length, FT::ftWideMemo},
    {"NCHAR", FT::ftFixedWideChar, TArguments::Length, FT::ftWideMemo},
    {"NATIVE CHARACTER", FT::ftFixedWideChar, TArguments::Length, FT::ftWideMemo},
    {"VARCHAR", FT::ftWideString, TArguments::Length, FT::ftWideMemo},
    {"NVARCHAR", FT::ftWideString, TArguments::Length, FT::ftWideMemo},
    {"VARYING CHARACTER", FT::ftWideString, TArguments::Length, FT::ftWideMemo},
    {"CHARACTER VARYING", FT::ftWideString, TArguments::Length, FT::ftWideMemo},
    {"TEXT", FT::ftWideMemo},
    {"CLOB", FT::ftWideMemo},
    {"BLOB", FT::ftBlob},
    {"VARBINARY", FT::ftVarBytes, TArguments::Length, FT::ftBlob},
    {"DATE", FT::ftDate},
    {"TIME", FT::ftTime},
    {"DATETIME", FT::ftDateTime},
    {"TIMESTAMP", FT::ftTimeStamp},
    {"GUID", FT::ftGuid, TArguments::None, FT::ftUnknown, TColumnTypeLimits::kGuidSize},
}};

char Upper(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }
bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }

// The type's name upper-cased with single blanks, and up to two numbers from the
// parentheses (-1 when absent or not a plain number).
struct TParsedType {
  std::string Name;
  std::int32_t First = -1;
  std::int32_t Second = -1;
};

std::int32_t ReadNumber(std::string_view Text) {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  std::int32_t Number = -1;
  const auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Number);
  if (Text.empty() || Result.ec != std::errc() || Result.ptr != Text.data() + Text.size() || Number < 0) return -1;
  return Number;
}

TParsedType Parse(std::string_view Declared) {
  TParsedType Parsed;
  const std::size_t Open = Declared.find('(');
  for (const char C : Declared.substr(0, Open)) {
    if (IsBlank(C)) {
      if (!Parsed.Name.empty() && Parsed.Name.back() != ' ') Parsed.Name.push_back(' ');
    } else {
      Parsed.Name.push_back(Upper(C));
    }
  }
  if (!Parsed.Name.empty() && Parsed.Name.back() == ' ') Parsed.Name.pop_back();
  if (Open == std::string_view::npos) return Parsed;
  const std::size_t Close = Declared.find(')', Open);
  const std::string_view Inside = Declared.substr(Open + 1, Close == std::string_view::npos ? std::string_view::npos : Close - Open - 1);
  const std::size_t Comma = Inside.find(',');
  Parsed.First = ReadNumber(Inside.substr(0, Comma));
  if (Comma != std::string_view::npos) Parsed.Second = ReadNumber(Inside.substr(Comma + 1));
  return Parsed;
}

bool Contains(std::string_view Text, std::string_view Part) { return Text.find(Part) != std::string_view::npos; }

}  // namespace

TColumnType MapDeclaredColumnType(std::string_view DeclaredType) {
  const TParsedType Parsed = Parse(DeclaredType);
  if (Parsed.Name.empty()) return {};
  for (const TNamedType& Named : kNamedTypes) {
    if (Named.Name != Parsed.Name) continue;
    switch (Named.Arguments) {
      case TArguments::None:
        return {Named.DataType, Named.Size, 0};
      case TArguments::Length:
        if (Parsed.First <= 0) return {Named.NoLength, 0, 0};
        return {Named.DataType, Parsed.First, 0};
      case TArguments::Decimal:
        if (Parsed.First <= 0 || Parsed.First > TColumnTypeLimits::kMaxDecimalPrecision) return {Named.NoLength, 0, 0};
        return {Named.DataType, Parsed.Second > 0 ? std::min(Parsed.Second, Parsed.First) : 0, Parsed.First};
    }
  }
  // Any other name: SQLite's own rules for the kind of value a column holds, in the
  // order SQLite applies them.
  const std::string& Name = Parsed.Name;
  if (Contains(Name, "INT")) return {FT::ftLargeint, 0, 0};
  if (Contains(Name, "CHAR") || Contains(Name, "CLOB") || Contains(Name, "TEXT")) {
    return Parsed.First > 0 ? TColumnType{FT::ftWideString, Parsed.First, 0} : TColumnType{FT::ftWideMemo, 0, 0};
  }
  if (Contains(Name, "BLOB")) return {FT::ftBlob, 0, 0};
  return {FT::ftFloat, 0, 0};
}

TColumnType ColumnTypeOfValue(const TFieldValue& Value) {
  if (std::holds_alternative<std::int64_t>(Value)) return {FT::ftLargeint, 0, 0};
  if (std::holds_alternative<double>(Value)) return {FT::ftFloat, 0, 0};
  if (std::holds_alternative<TFieldBytes>(Value)) return {FT::ftBlob, 0, 0};
  return {FT::ftWideMemo, 0, 0};
}

}  // namespace tavrin
