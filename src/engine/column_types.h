#pragma once
// From the type a table's column was declared with in SQLite ("VARCHAR(60)", "MONEY")
// to the field type, size and precision of the query field that reads it. SQLite keeps
// any value in any column; the declared type says what the column is meant to hold,
// and the field reads the stored value as that type (field.h). docs/database.md has the
// table.
//
// Pure functions; any thread.

#include <cstdint>
#include <string_view>

#include "dataset/field.h"

namespace tavrin {

namespace TColumnTypeLimits {
// The largest precision a decimal column keeps as a decimal; a wider one reads as a
// floating-point number.
inline constexpr std::int32_t kMaxDecimalPrecision = 32;
inline constexpr std::int32_t kGuidSize = 38;  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
}  // namespace TColumnTypeLimits

struct TColumnType {
  TFieldType DataType = TFieldType::ftUnknown;
  std::int32_t Size = 0;       // as TFieldDefinition::Size
  std::int32_t Precision = 0;  // as TFieldDefinition::Precision
  friend bool operator==(const TColumnType&, const TColumnType&) = default;
};

// The field type for DeclaredType, ignoring letter case and extra blanks. An empty
// declared type (a result column computed by an expression) gives ftUnknown: the caller
// then decides by the values (ColumnTypeOfValue).
TColumnType MapDeclaredColumnType(std::string_view DeclaredType);

// For a column without a declared type, from its first value that is not null: a whole
// number ftLargeint, a floating-point number ftFloat, text ftWideMemo, bytes ftBlob; with
// no such value, ftWideMemo.
TColumnType ColumnTypeOfValue(const TFieldValue& Value);

}  // namespace tavrin
