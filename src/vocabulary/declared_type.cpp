#include "vocabulary/declared_type.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <utility>

#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"

namespace tavrin {
namespace {

namespace T = TDBXDataTypes;
namespace N = TDeclaredClassNames;

constexpr std::string_view kUnknownDataType = "Unknown data type: ";

struct TNameCode {
  std::string_view Name;
  std::int32_t DataType;
};

// C++ spellings and their Pascal names; compared exactly.
constexpr std::pair<std::string_view, std::string_view> kNormalisedNames[] = {
    {"UnicodeString", "String"}, {"short", "SmallInt"},
    {"bool", "Boolean"},         {"__int64", "Int64"},
    {"float", "Single"},         {"double", "Double"},
    {"int", "Integer"},          {"unsigned short", "Word"},
    {"unsigned long", "DWord"},  {"unsigned char", "Byte"},
    {"signed char", "ShortInt"}, {"unsigned", "LongWord"},
};

constexpr std::string_view kWideString = "WideString";

// Non-class names in the order they are tried, compared ignoring ASCII case. WideString
// sits between AnsiString and String and is tried only when not passed var or out.
constexpr TNameCode kNamesBeforeWideString[] = {
    {"Integer", T::Int32Type},
    {"AnsiString", T::AnsiStringType},
};
constexpr TNameCode kNamesAfterWideString[] = {
    {"String", T::WideStringType},
    {"TDateTime", T::DateTimeType},
    {"Currency", T::CurrencyType},
    {"TDBXTime", T::TimeType},
    {"TDBXDate", T::DateType},
    {"Double", T::DoubleType},
    {"Single", T::SingleType},
    {"Int64", T::Int64Type},
    {"Byte", T::UInt8Type},
    {"ShortInt", T::Int8Type},
    {"Word", T::UInt16Type},
    {"SmallInt", T::Int16Type},
    {"Boolean", T::BooleanType},
    {"TJSONValue", T::JsonValueType},
    {"TJSONObject", T::JsonValueType},
    {"TJSONArray", T::JsonValueType},
    {"TJSONString", T::JsonValueType},
    {"TJSONNumber", T::JsonValueType},
    {"TJSONTrue", T::JsonValueType},
    {"TJSONFalse", T::JsonValueType},
    {"TJSONNull", T::JsonValueType},
    {"TDBXCallback", T::CallbackType},
    {"OleVariant", T::VariantType},
};

// Holder classes tested after streams, in this order.
constexpr TNameCode kScalarHolderClasses[] = {
    {TDBXUInt8Value::ClassName, T::UInt8Type},
    {TDBXInt8Value::ClassName, T::Int8Type},
    {TDBXUInt16Value::ClassName, T::UInt16Type},
    {TDBXInt16Value::ClassName, T::Int16Type},
    {TDBXInt32Value::ClassName, T::Int32Type},
    {TDBXInt64Value::ClassName, T::Int64Type},
    {TDBXSingleValue::ClassName, T::SingleType},
    {TDBXDoubleValue::ClassName, T::DoubleType},
    {TDBXBcdValue::ClassName, T::BcdType},
    {TDBXTimeOfDayValue::ClassName, T::TimeType},
    {TDBXDateValue::ClassName, T::DateType},
    {TDBXTimeStampValue::ClassName, T::TimeStampType},
    {TDBXTimeStampOffsetValue::ClassName, T::TimeStampOffsetType},
    {TDBXBooleanValue::ClassName, T::BooleanType},
};

std::int32_t FindName(std::span<const TNameCode> Table, std::string_view Name) {
  for (const auto& Entry : Table) {
    if (SameTextIgnoringCase(Entry.Name, Name)) return Entry.DataType;
  }
  return T::UnknownType;
}

std::int32_t MapNonClass(const TDeclaredType& Type) {
  const std::string Name = NormalizeDeclaredTypeName(Type.TypeName);
  if (const auto Code = FindName(kNamesBeforeWideString, Name); Code != T::UnknownType) return Code;
  // A var or out WideString would need a reference to a wide string the server cannot
  // hand out, so such a method stays unsupported.
  if (SameTextIgnoringCase(Name, kWideString)) {
    return (Type.IsVar || Type.IsOut) ? T::UnknownType : T::WideStringType;
  }
  return FindName(kNamesAfterWideString, Name);
}

// The declared class seen through the hierarchy: its own name first, then either the
// parent it declared or, for a known class, the parent the hierarchy gives.
class TDeclaredClass {
 public:
  TDeclaredClass(const TDeclaredType& Type, const TClassHierarchy& Classes)
      : FName(Type.ClassName.empty() ? Type.TypeName : Type.ClassName),
        FParent(Type.ParentClassName),
        FClasses(Classes) {}

  const std::string& Name() const { return FName; }

  bool DescendsFrom(std::string_view Ancestor) const {
    if (FName == Ancestor) return true;
    if (!FParent.empty()) return FClasses.DescendsFrom(FParent, Ancestor);
    return FClasses.DescendsFrom(FName, Ancestor);
  }

 private:
  std::string FName;
  std::string FParent;
  const TClassHierarchy& FClasses;
};

void MapClass(const TDeclaredClass& Class, TDeclaredTypeMapping& Result) {
  const auto Is = [&](std::string_view Ancestor) { return Class.DescendsFrom(Ancestor); };
  const auto Set = [&](std::int32_t Code, std::string_view TypeName = {}) {
    Result.DataType = Code;
    Result.ParameterTypeName = std::string(TypeName);
  };

  if (Is(TDBXWideStringValue::ClassName)) Set(T::WideStringType);
  else if (Is(TDBXAnsiStringValue::ClassName)) Set(T::AnsiStringType);
  else if (Is(N::Reader)) Set(T::TableType);
  else if (Class.Name() == N::DataSet) Set(T::TableType, N::DataSet);
  else if (Class.Name() == N::Params) Set(T::TableType, N::Params);
  else if (Is(N::Connection)) Set(T::ConnectionType);
  else if (Is(N::Stream)) Set(T::BinaryBlobType);
  else {
    const auto* Scalar = std::find_if(std::begin(kScalarHolderClasses), std::end(kScalarHolderClasses),
                                      [&](const TNameCode& Entry) { return Is(Entry.Name); });
    if (Scalar != std::end(kScalarHolderClasses)) Set(Scalar->DataType);
    else if (Is(TDBXReaderValue::ClassName)) Set(T::TableType);
    else if (Is(TDBXConnectionValue::ClassName)) Set(T::ConnectionType);
    else if (Is(TDBXJSONValue::ClassName) || Is(N::JsonValue)) Set(T::JsonValueType);
    else if (Is(N::Callback)) Set(T::CallbackType);
    else if (Is(TDBXStreamValue::ClassName)) Set(T::BinaryBlobType);
    else if (Class.Name() == N::OleVariant) Set(T::VariantType);
    else Set(T::JsonValueType);
  }

  // Objects the server knows how to pass need no conversion; any other class travels as
  // JSON converted from and to the object.
  const bool KnownObject = Is(TDBXValue::ClassName) || Is(N::JsonValue) || Is(N::Connection) ||
                           Is(N::Callback) || Class.Name() == N::DataSet || Class.Name() == N::Params;
  Result.SubType = KnownObject ? TDBXSubDataTypes::NoSubType : TDBXSubDataTypes::UserObjectSubType;
  Result.ValueParameter = Is(TDBXWritableValue::ClassName);
}

TDeclaredTypeMapping MapDeclared(const TDeclaredType& Type, TTypeMappingMode Mode,
                                 const TClassHierarchy& Classes) {
  TDeclaredTypeMapping Result;
  if (Type.IsClass) {
    const TDeclaredClass Class(Type, Classes);
    MapClass(Class, Result);
  } else {
    Result.DataType = MapNonClass(Type);
  }
  if (!Result.Supported() && Mode == TTypeMappingMode::Strict) {
    const std::string& Name = (Type.IsClass && !Type.ClassName.empty()) ? Type.ClassName : Type.TypeName;
    throw TDBXError(TDBXErrorCodes::UnexpectedDataType, std::string(kUnknownDataType) + Name);
  }
  if (Result.ValueParameter || Type.IsVar) Result.Direction = TDBXParameterDirections::InOutParameter;
  else if (Type.IsOut) Result.Direction = TDBXParameterDirections::OutParameter;
  else Result.Direction = TDBXParameterDirections::InParameter;
  return Result;
}

TClassHierarchy BuildBuiltInHierarchy() {
  TClassHierarchy H;
  H.Add(N::Object, {});
  H.Add(N::Persistent, N::Object);
  H.Add(N::Component, N::Persistent);
  H.Add(N::DataSet, N::Component);
  H.Add(N::Params, N::Persistent);
  H.Add(N::Reader, N::Object);
  H.Add(N::Connection, N::Object);
  H.Add(N::Callback, N::Object);

  H.Add(N::Stream, N::Object);
  for (const std::string_view Name : {"TBytesStream", "TMemoryStream", "TStringStream", "TFileStream"}) {
    H.Add(Name, N::Stream);
  }

  H.Add(N::JsonValue, N::Object);
  for (const std::string_view Name :
       {"TJSONObject", "TJSONArray", "TJSONString", "TJSONNumber", "TJSONTrue", "TJSONFalse", "TJSONNull"}) {
    H.Add(Name, N::JsonValue);
  }

  H.Add(TDBXValue::ClassName, N::Object);
  H.Add(TDBXWritableValue::ClassName, TDBXValue::ClassName);
  for (const std::string_view Name : {
           TDBXAnsiStringValue::ClassName, TDBXWideStringValue::ClassName, TDBXDateValue::ClassName,
           TDBXTimeOfDayValue::ClassName, TDBXBooleanValue::ClassName, TDBXInt8Value::ClassName,
           TDBXInt16Value::ClassName, TDBXInt32Value::ClassName, TDBXInt64Value::ClassName,
           TDBXUInt8Value::ClassName, TDBXUInt16Value::ClassName, TDBXDoubleValue::ClassName,
           TDBXSingleValue::ClassName, TDBXBcdValue::ClassName, TDBXTimeStampValue::ClassName,
           TDBXTimeStampOffsetValue::ClassName, TDBXStreamValue::ClassName, TDBXReaderValue::ClassName,
           TDBXCursorValue::ClassName, TDBXConnectionValue::ClassName, TDBXJSONValue::ClassName,
           TDBXCallbackValue::ClassName}) {
    H.Add(Name, TDBXWritableValue::ClassName);
  }
  H.Add(TDBXAnsiMemoValue::ClassName, TDBXAnsiStringValue::ClassName);
  H.Add(TDBXWideMemoValue::ClassName, TDBXWideStringValue::ClassName);
  return H;
}

}  // namespace

const TClassHierarchy& TClassHierarchy::BuiltIn() {
  static const TClassHierarchy Classes = BuildBuiltInHierarchy();
  return Classes;
}

void TClassHierarchy::Add(std::string_view ClassName, std::string_view ParentName) {
  FParents.insert_or_assign(std::string(ClassName), std::string(ParentName));
}

bool TClassHierarchy::Contains(std::string_view ClassName) const {
  return FParents.find(ClassName) != FParents.end();
}

std::string_view TClassHierarchy::ParentOf(std::string_view ClassName) const {
  const auto It = FParents.find(ClassName);
  return It == FParents.end() ? std::string_view{} : std::string_view(It->second);
}

bool TClassHierarchy::DescendsFrom(std::string_view ClassName, std::string_view Ancestor) const {
  // Each step moves to a parent; more steps than classes means the table holds a cycle.
  std::string_view Current = ClassName;
  for (std::size_t Steps = 0; !Current.empty() && Steps <= FParents.size(); ++Steps) {
    if (Current == Ancestor) return true;
    Current = ParentOf(Current);
  }
  return false;
}

TDeclaredType TDeclaredType::Named(std::string TypeName) {
  TDeclaredType Type;
  Type.TypeName = std::move(TypeName);
  return Type;
}

TDeclaredType TDeclaredType::OfClass(std::string ClassName, std::string ParentClassName) {
  TDeclaredType Type;
  Type.TypeName = ClassName;
  Type.IsClass = true;
  Type.ClassName = std::move(ClassName);
  Type.ParentClassName = std::move(ParentClassName);
  return Type;
}

TDeclaredTypeMapping MapDeclaredParameterType(const TDeclaredType& Type, TTypeMappingMode Mode,
                                              const TClassHierarchy& Classes) {
  return MapDeclared(Type, Mode, Classes);
}

TDeclaredTypeMapping MapDeclaredResultType(const TDeclaredType& Type, TTypeMappingMode Mode,
                                           const TClassHierarchy& Classes) {
  TDeclaredTypeMapping Result = MapDeclared(Type, Mode, Classes);
  Result.Direction = TDBXParameterDirections::ReturnParameter;
  return Result;
}

std::string NormalizeDeclaredTypeName(std::string_view TypeName) {
  for (const auto& [From, To] : kNormalisedNames) {
    if (TypeName == From) return std::string(To);
  }
  return std::string(TypeName);
}

}  // namespace tavrin
