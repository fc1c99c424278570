#include "vocabulary/declared_type.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "vocabulary/dbx_error.h"
#include "vocabulary/value_holders.h"

namespace tavrin {
namespace {

constexpr auto Tolerant = TTypeMappingMode::Tolerant;
constexpr auto Strict = TTypeMappingMode::Strict;

TDeclaredType Passed(TDeclaredType Type, const char* How) {
  const std::string H = How;
  Type.IsVar = H == "var";
  Type.IsOut = H == "out";
  Type.IsConst = H == "const";
  return Type;
}

struct TExpected {
  std::int32_t DataType;
  std::int32_t SubType;
  const char* TypeName;
  bool ValueParameter;
  std::int32_t Direction;
};

void ExpectMapping(const TDeclaredTypeMapping& Got, const TExpected& Want) {
  EXPECT_EQ(Got.DataType, Want.DataType);
  EXPECT_EQ(Got.SubType, Want.SubType);
  EXPECT_EQ(Got.ParameterTypeName, Want.TypeName);
  EXPECT_EQ(Got.ValueParameter, Want.ValueParameter);
  EXPECT_EQ(Got.Direction, Want.Direction);
}

TEST(DeclaredTypeMapping, TheParametersAndResultsOfThisSystemsMethods) {
  struct Case { const char* What; TDeclaredType Type; bool IsResult; TExpected Want; };
  const Case Cases[] = {
      {"string parameter", Passed(TDeclaredType::Named("string"), "const"), false, {26, 0, "", false, 1}},
      {"Integer result", TDeclaredType::Named("Integer"), true, {6, 0, "", false, 4}},
      {"Boolean result", TDeclaredType::Named("Boolean"), true, {4, 0, "", false, 4}},
      {"TDataSet parameter", TDeclaredType::OfClass("TDataSet"), false, {23, 0, "TDataSet", false, 1}},
      {"const WideString", Passed(TDeclaredType::Named("WideString"), "const"), false, {26, 0, "", false, 1}},
      {"OleVariant", TDeclaredType::Named("OleVariant"), false, {35, 0, "", false, 1}},
      {"OleVariant result", TDeclaredType::Named("OleVariant"), true, {35, 0, "", false, 4}},
      {"out Integer", Passed(TDeclaredType::Named("Integer"), "out"), false, {6, 0, "", false, 2}},
      {"TDBXStreamValue", TDeclaredType::OfClass("TDBXStreamValue"), false, {33, 0, "", true, 3}},
      {"string result", TDeclaredType::Named("string"), true, {26, 0, "", false, 4}},
  };
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.What);
    ExpectMapping(c.IsResult ? MapDeclaredResultType(c.Type, Strict) : MapDeclaredParameterType(c.Type, Strict),
                  c.Want);
  }
}

TEST(DeclaredTypeMapping, NamesAreNormalisedThenMatchedIgnoringCaseInOrder) {
  struct Case { const char* Name; const char* How; std::int32_t DataType; };
  const Case Cases[] = {
      {"string", "", 26},        {"String", "", 26},         {"UnicodeString", "", 26},
      {"STRING", "", 26},        {"int", "", 6},             {"Integer", "", 6},
      {"INTEGER", "", 6},        {"AnsiString", "", 1},      {"TDateTime", "", 11},
      {"Currency", "", 25},      {"TDBXTime", "", 10},       {"TDBXDate", "", 2},
      {"double", "", 7},         {"float", "", 27},          {"Single", "", 27},
      {"__int64", "", 18},       {"Int64", "", 18},          {"unsigned char", "", 29},
      {"Byte", "", 29},          {"signed char", "", 28},    {"ShortInt", "", 28},
      {"unsigned short", "", 12}, {"Word", "", 12},          {"short", "", 5},
      {"SmallInt", "", 5},       {"bool", "", 4},            {"boolean", "", 4},
      {"TJSONValue", "", 37},    {"TJSONObject", "", 37},    {"TJSONArray", "", 37},
      {"TJSONString", "", 37},   {"TJSONNumber", "", 37},    {"TJSONTrue", "", 37},
      {"TJSONFalse", "", 37},    {"TJSONNull", "", 37},      {"TDBXCallback", "", 38},
      {"OleVariant", "", 35},
      {"WideString", "", 26},    {"WideString", "const", 26},
      {"string", "var", 26},     {"string", "out", 26},
      // Unsupported.
      {"WideString", "var", 0},  {"WideString", "out", 0},   {"unsigned long", "", 0},
      {"DWord", "", 0},          {"LongWord", "", 0},        {"unsigned", "", 0},
      {"Cardinal", "", 0},       {"UInt64", "", 0},          {"", "", 0},
      // The C++ spellings are replaced only when spelled exactly.
      {"INT", "", 0},            {"unicodestring", "", 0},
  };
  for (const auto& c : Cases) {
    const auto Got = MapDeclaredParameterType(Passed(TDeclaredType::Named(c.Name), c.How), Tolerant);
    EXPECT_EQ(Got.DataType, c.DataType) << c.How << " " << c.Name;
    EXPECT_EQ(Got.SubType, 0) << c.Name;
    EXPECT_FALSE(Got.ValueParameter) << c.Name;
  }
}

TEST(DeclaredTypeMapping, DirectionsOfNonClassTypes) {
  EXPECT_EQ(MapDeclaredParameterType(Passed(TDeclaredType::Named("Integer"), ""), Strict).Direction, 1);
  EXPECT_EQ(MapDeclaredParameterType(Passed(TDeclaredType::Named("Integer"), "const"), Strict).Direction, 1);
  EXPECT_EQ(MapDeclaredParameterType(Passed(TDeclaredType::Named("Integer"), "var"), Strict).Direction, 3);
  EXPECT_EQ(MapDeclaredParameterType(Passed(TDeclaredType::Named("Integer"), "out"), Strict).Direction, 2);
  EXPECT_EQ(MapDeclaredResultType(Passed(TDeclaredType::Named("Integer"), "var"), Strict).Direction, 4);
}

TEST(DeclaredTypeMapping, ClassesAreTestedInOrder) {
  struct Case { const char* Class; const char* Parent; TExpected Want; };
  const Case Cases[] = {
      {"TDBXWideStringValue", "", {26, 0, "", true, 3}},
      {"TDBXWideMemoValue", "", {26, 0, "", true, 3}},
      {"TDBXAnsiStringValue", "", {1, 0, "", true, 3}},
      {"TDBXAnsiMemoValue", "", {1, 0, "", true, 3}},
      {"TDBXReader", "", {23, 40, "", false, 1}},
      {"TMeuLeitor", "TDBXReader", {23, 40, "", false, 1}},
      {"TDataSet", "", {23, 0, "TDataSet", false, 1}},
      {"TParams", "", {23, 0, "TParams", false, 1}},
      // Only the declared name counts for datasets: a subclass falls to the last row.
      {"TClientDataSet", "TDataSet", {37, 40, "", false, 1}},
      {"TDBXConnection", "", {34, 0, "", false, 1}},
      {"TStream", "", {33, 40, "", false, 1}},
      {"TMemoryStream", "", {33, 40, "", false, 1}},
      // A declared parent does not hide the class's own name.
      {"TStream", "TObject", {33, 40, "", false, 1}},
      {"TDBXUInt8Value", "", {29, 0, "", true, 3}},
      {"TDBXInt8Value", "", {28, 0, "", true, 3}},
      {"TDBXUInt16Value", "", {12, 0, "", true, 3}},
      {"TDBXInt16Value", "", {5, 0, "", true, 3}},
      {"TDBXInt32Value", "", {6, 0, "", true, 3}},
      {"TDBXInt64Value", "", {18, 0, "", true, 3}},
      {"TDBXSingleValue", "", {27, 0, "", true, 3}},
      {"TDBXDoubleValue", "", {7, 0, "", true, 3}},
      {"TDBXBcdValue", "", {8, 0, "", true, 3}},
      {"TDBXTimeOfDayValue", "", {10, 0, "", true, 3}},
      {"TDBXDateValue", "", {2, 0, "", true, 3}},
      {"TDBXTimeStampValue", "", {24, 0, "", true, 3}},
      {"TDBXTimeStampOffsetValue", "", {36, 0, "", true, 3}},
      {"TDBXBooleanValue", "", {4, 0, "", true, 3}},
      {"TDBXReaderValue", "", {23, 0, "", true, 3}},
      {"TDBXConnectionValue", "", {34, 0, "", true, 3}},
      {"TDBXJSONValue", "", {37, 0, "", true, 3}},
      {"TJSONValue", "", {37, 0, "", false, 1}},
      {"TJSONObject", "", {37, 0, "", false, 1}},
      {"TDBXCallback", "", {38, 0, "", false, 1}},
      {"TDBXStreamValue", "", {33, 0, "", true, 3}},
      {"TMeuValor", "TDBXStreamValue", {33, 0, "", true, 3}},
      {"OleVariant", "", {35, 40, "", false, 1}},
      // A holder with no row of its own still counts as a holder.
      {"TDBXCursorValue", "", {37, 0, "", true, 3}},
      // User classes travel as JSON converted from the object.
      {"TCliente", "TObject", {37, 40, "", false, 1}},
      {"TSemPai", "", {37, 40, "", false, 1}},
  };
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Class);
    ExpectMapping(MapDeclaredParameterType(TDeclaredType::OfClass(c.Class, c.Parent), Strict), c.Want);
  }
}

TEST(DeclaredTypeMapping, DirectionsOfClassTypes) {
  // A value parameter is in/out however it is passed.
  EXPECT_EQ(MapDeclaredParameterType(Passed(TDeclaredType::OfClass("TDataSet"), "var"), Strict).Direction, 3);
  EXPECT_EQ(MapDeclaredParameterType(Passed(TDeclaredType::OfClass("TDataSet"), "out"), Strict).Direction, 2);
  EXPECT_EQ(MapDeclaredParameterType(Passed(TDeclaredType::OfClass("TDBXStreamValue"), "out"), Strict).Direction, 3);
  EXPECT_EQ(MapDeclaredParameterType(Passed(TDeclaredType::OfClass("TDBXStreamValue"), "const"), Strict).Direction, 3);
  EXPECT_EQ(MapDeclaredResultType(TDeclaredType::OfClass("TDataSet"), Strict).Direction, 4);
}

TEST(DeclaredTypeMapping, StrictModeRaisesWithTheDeclaredName) {
  struct Case { TDeclaredType Type; const char* Message; };
  const Case Cases[] = {
      {TDeclaredType::Named("unsigned long"), "Unknown data type: unsigned long"},
      {Passed(TDeclaredType::Named("WideString"), "var"), "Unknown data type: WideString"},
      {TDeclaredType::Named("Cardinal"), "Unknown data type: Cardinal"},
  };
  for (const auto& c : Cases) {
    try {
      MapDeclaredParameterType(c.Type, Strict);
      ADD_FAILURE() << c.Message;
    } catch (const TDBXError& e) {
      EXPECT_EQ(e.ErrorCode(), 3);
      EXPECT_EQ(e.Message(), c.Message);
    }
    EXPECT_THROW(MapDeclaredResultType(c.Type, Strict), TDBXError);
    EXPECT_FALSE(MapDeclaredParameterType(c.Type, Tolerant).Supported());
  }
}

TEST(DeclaredTypeNormalisation, ReplacesOnlyTheExactCppSpellings) {
  struct Case { const char* In; const char* Out; };
  const Case Cases[] = {
      {"UnicodeString", "String"}, {"short", "SmallInt"},      {"bool", "Boolean"},
      {"__int64", "Int64"},        {"float", "Single"},        {"double", "Double"},
      {"int", "Integer"},          {"unsigned short", "Word"}, {"unsigned long", "DWord"},
      {"unsigned char", "Byte"},   {"signed char", "ShortInt"}, {"unsigned", "LongWord"},
      // Method descriptions show these as declared.
      {"string", "string"},        {"Integer", "Integer"},     {"Int", "Int"},
  };
  for (const auto& c : Cases) EXPECT_EQ(NormalizeDeclaredTypeName(c.In), c.Out);
}

TEST(DeclaredTypeHierarchy, DescendsFromWalksParentsAndStopsOnCycles) {
  const auto& BuiltIn = TClassHierarchy::BuiltIn();
  EXPECT_TRUE(BuiltIn.DescendsFrom("TMemoryStream", "TMemoryStream"));
  EXPECT_TRUE(BuiltIn.DescendsFrom("TMemoryStream", "TObject"));
  EXPECT_TRUE(BuiltIn.DescendsFrom("TDataSet", "TComponent"));
  EXPECT_FALSE(BuiltIn.DescendsFrom("TObject", "TStream"));
  EXPECT_TRUE(BuiltIn.DescendsFrom("TDesconhecida", "TDesconhecida"));
  EXPECT_FALSE(BuiltIn.DescendsFrom("TDesconhecida", "TObject"));
  EXPECT_FALSE(BuiltIn.DescendsFrom("tmemorystream", "TStream")) << "names compare exactly";

  TClassHierarchy Looping;
  Looping.Add("TA", "TB");
  Looping.Add("TB", "TA");
  EXPECT_FALSE(Looping.DescendsFrom("TA", "TC"));
  EXPECT_TRUE(Looping.DescendsFrom("TA", "TB"));
}

TEST(DeclaredTypeHierarchy, RegisteredUserClassesReachTheirBuiltInAncestors) {
  TClassHierarchy Classes = TClassHierarchy::BuiltIn();
  Classes.Add("TPacoteStream", "TMemoryStream");
  Classes.Add("TBaseDados", "TDataSet");

  // Two user levels deep: the declared parent is looked up in the extended table.
  ExpectMapping(MapDeclaredParameterType(TDeclaredType::OfClass("TPacoteGrande", "TPacoteStream"), Strict, Classes),
                {33, 40, "", false, 1});
  ExpectMapping(MapDeclaredParameterType(TDeclaredType::OfClass("TBaseDados"), Strict, Classes),
                {37, 40, "", false, 1});
  // The built-in table is left as it was.
  EXPECT_FALSE(TClassHierarchy::BuiltIn().Contains("TPacoteStream"));
}

// The modelled parents of the holder classes must agree with the C++ classes.
template <typename... Holders>
struct THolderList {
  struct TPair { std::string_view Derived, Base; bool CppDerives; };

  template <typename Derived>
  static void AddPairsOf(std::vector<TPair>& Pairs) {
    (Pairs.push_back({Derived::ClassName, Holders::ClassName, std::is_base_of_v<Holders, Derived>}), ...);
  }

  static std::vector<TPair> AllPairs() {
    std::vector<TPair> Pairs;
    (AddPairsOf<Holders>(Pairs), ...);
    return Pairs;
  }
};

TEST(DeclaredTypeHierarchy, HolderClassesMatchTheirCppInheritance) {
  using TAll = THolderList<TDBXValue, TDBXWritableValue, TDBXAnsiStringValue, TDBXAnsiMemoValue,
                           TDBXWideStringValue, TDBXWideMemoValue, TDBXDateValue, TDBXTimeOfDayValue,
                           TDBXBooleanValue, TDBXInt8Value, TDBXInt16Value, TDBXInt32Value, TDBXInt64Value,
                           TDBXUInt8Value, TDBXUInt16Value, TDBXDoubleValue, TDBXSingleValue, TDBXBcdValue,
                           TDBXTimeStampValue, TDBXTimeStampOffsetValue, TDBXStreamValue, TDBXReaderValue,
                           TDBXCursorValue, TDBXConnectionValue, TDBXJSONValue, TDBXCallbackValue>;
  const auto Pairs = TAll::AllPairs();
  ASSERT_EQ(Pairs.size(), 26u * 26u);
  for (const auto& p : Pairs) {
    EXPECT_EQ(TClassHierarchy::BuiltIn().DescendsFrom(p.Derived, p.Base), p.CppDerives)
        << p.Derived << " / " << p.Base;
  }
}

}  // namespace
}  // namespace tavrin
