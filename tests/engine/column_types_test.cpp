// The field type a query gives a column, by the type the column was declared with.

#include "engine/column_types.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using FT = TFieldType;

TEST(ColumnTypes, DeclaredTypesMapToFieldTypesWithSizeAndPrecision) {
  struct TCase {
    const char* Declared;
    TColumnType Expected;
  };
  const TCase Cases[] = {
      {"VARCHAR(60)", {FT::ftWideString, 60, 0}},
      {"nvarchar ( 30 )", {FT::ftWideString, 30, 0}},
      {"character   varying(12)", {FT::ftWideString, 12, 0}},
      {"CHAR(3)", {FT::ftFixedWideChar, 3, 0}},
      {"varchar", {FT::ftWideMemo, 0, 0}},  // no length: any length
      {"TEXT", {FT::ftWideMemo, 0, 0}},
      {"integer", {FT::ftInteger, 0, 0}},
      {"INT", {FT::ftInteger, 0, 0}},
      {"SMALLINT", {FT::ftSmallint, 0, 0}},
      {"TINYINT", {FT::ftShortint, 0, 0}},
      {"BIGINT", {FT::ftLargeint, 0, 0}},
      {"boolean", {FT::ftBoolean, 0, 0}},
      {"DOUBLE PRECISION", {FT::ftFloat, 0, 0}},
      {"REAL", {FT::ftFloat, 0, 0}},
      {"money", {FT::ftCurrency, 0, 0}},
      {"NUMERIC(15,2)", {FT::ftFMTBcd, 2, 15}},
      {"decimal(10)", {FT::ftFMTBcd, 0, 10}},
      {"DECIMAL(40,2)", {FT::ftFloat, 0, 0}},  // wider than a decimal field holds
      {"NUMERIC", {FT::ftFloat, 0, 0}},
      {"DATE", {FT::ftDate, 0, 0}},
      {"time", {FT::ftTime, 0, 0}},
      {"DATETIME", {FT::ftDateTime, 0, 0}},
      {"TIMESTAMP", {FT::ftTimeStamp, 0, 0}},
      {"BLOB", {FT::ftBlob, 0, 0}},
      {"VARBINARY(16)", {FT::ftVarBytes, 16, 0}},
      {"GUID", {FT::ftGuid, 38, 0}},
      // Other names follow SQLite's own rules for what a column holds.
      {"UNSIGNED INT24", {FT::ftLargeint, 0, 0}},
      {"VARYING CLOB(80)", {FT::ftWideString, 80, 0}},
      {"LONGTEXT", {FT::ftWideMemo, 0, 0}},
      {"MEDIUMBLOB", {FT::ftBlob, 0, 0}},
      {"FANCY", {FT::ftFloat, 0, 0}},
      {"", {FT::ftUnknown, 0, 0}},  // an expression: decided by the values
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Declared);
    const TColumnType Got = MapDeclaredColumnType(Case.Declared);
    EXPECT_EQ(FieldTypeName(Got.DataType), FieldTypeName(Case.Expected.DataType));
    EXPECT_EQ(Got, Case.Expected);
  }
}

TEST(ColumnTypes, AColumnWithoutDeclaredTypeTakesTheKindOfItsValue) {
  EXPECT_EQ(ColumnTypeOfValue(std::int64_t{3}).DataType, FT::ftLargeint);
  EXPECT_EQ(ColumnTypeOfValue(2.5).DataType, FT::ftFloat);
  EXPECT_EQ(ColumnTypeOfValue(std::string("x")).DataType, FT::ftWideMemo);
  EXPECT_EQ(ColumnTypeOfValue(TFieldBytes{1}).DataType, FT::ftBlob);
  EXPECT_EQ(ColumnTypeOfValue(TFieldValue()).DataType, FT::ftWideMemo);
}

}  // namespace
}  // namespace tavrin
