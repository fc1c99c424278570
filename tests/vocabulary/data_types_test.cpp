#include "vocabulary/data_types.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrin {
namespace {

TEST(DataTypeNames, EveryNamedCodeAndTheUnnamedOnes) {
  struct Case { std::int32_t Code; const char* Name; };
  const Case Cases[] = {
      {0, "TDBXTypes.UNKNOWN"},       {1, "TDBXTypes.ZSTRING"},     {2, "TDBXTypes.DATE"},
      {3, "TDBXTypes.BLOB"},          {4, "TDBXTypes.BOOL"},        {5, "TDBXTypes.INT16"},
      {6, "TDBXTypes.INT32"},         {7, "TDBXTypes.DOUBLE"},      {8, "TDBXTypes.BCD"},
      {9, "TDBXTypes.BYTES"},         {10, "TDBXTypes.TIME"},       {11, "TDBXTypes.DATETIME"},
      {12, "TDBXTypes.UINT16"},       {13, "TDBXTypes.UINT32"},     {15, "TDBXTypes.VARBYTES"},
      {17, "TDBXTypes.CURSOR"},       {18, "TDBXTypes.INT64"},      {19, "TDBXTypes.UINT64"},
      {20, "TDBXTypes.ADT"},          {21, "TDBXTypes.ARRAY_TYPE"}, {22, "TDBXTypes.REF"},
      {23, "TDBXTypes.TABLE"},        {24, "TDBXTypes.TIMESTAMP"},  {25, "TDBXTypes.Currency"},
      {26, "TDBXTypes.WideString"},   {27, "TDBXTypes.SINGLE"},     {28, "TDBXTypes.INT8"},
      {29, "TDBXTypes.UINT8"},        {35, "TDBXTypes.Variant"},    {36, "TDBXTypes.TIMESTAMPOFFSET"},
      {37, "TDBXTypes.JSON"},
      // Codes without a name.
      {14, "TDBXTypes.UNKNOWN(14)"},  {16, "TDBXTypes.UNKNOWN(16)"}, {30, "TDBXTypes.UNKNOWN(30)"},
      {32, "TDBXTypes.UNKNOWN(32)"},  {33, "TDBXTypes.UNKNOWN(33)"}, {34, "TDBXTypes.UNKNOWN(34)"},
      {38, "TDBXTypes.UNKNOWN(38)"},  {-1, "TDBXTypes.UNKNOWN(-1)"}, {1000, "TDBXTypes.UNKNOWN(1000)"},
  };
  for (const auto& c : Cases) EXPECT_EQ(DataTypeName(c.Code), c.Name) << "code " << c.Code;
}

TEST(DataTypeDirections, MetadataAndDescriptionTexts) {
  struct Case { std::int32_t Direction; const char* Metadata; const char* Description; };
  const Case Cases[] = {
      {1, "IN", "In"}, {2, "OUT", "Out"}, {3, "INOUT", "InOut"}, {4, "RESULT", "Return"},
      {0, "", ""},     {5, "", ""},
  };
  for (const auto& c : Cases) {
    EXPECT_EQ(DirectionMetadataText(c.Direction), c.Metadata) << c.Direction;
    EXPECT_EQ(DirectionDescriptionText(c.Direction), c.Description) << c.Direction;
  }
}

TEST(DataTypeCodes, BlobLikeCodesAreExactlyTheFive) {
  for (std::int32_t Code = -1; Code <= 40; ++Code) {
    const bool Expected = Code == 3 || Code == 9 || Code == 15 || Code == 20 || Code == 21;
    EXPECT_EQ(IsBlobLikeType(Code), Expected) << "code " << Code;
  }
}

}  // namespace
}  // namespace tavrin
