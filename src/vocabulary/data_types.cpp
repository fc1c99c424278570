#include "vocabulary/data_types.h"

#include <utility>

namespace tavrin {
namespace {

constexpr std::string_view kTypeNamePrefix = "TDBXTypes.";
constexpr std::string_view kUnknownNameOpen = "UNKNOWN(";
constexpr std::string_view kUnknownNameClose = ")";

using TCodeName = std::pair<std::int32_t, std::string_view>;

// Codes 14, 16, 30 to 34 and 38 have no name.
constexpr TCodeName kTypeNames[] = {
    {TDBXDataTypes::UnknownType, "UNKNOWN"},
    {TDBXDataTypes::AnsiStringType, "ZSTRING"},
    {TDBXDataTypes::DateType, "DATE"},
    {TDBXDataTypes::BlobType, "BLOB"},
    {TDBXDataTypes::BooleanType, "BOOL"},
    {TDBXDataTypes::Int16Type, "INT16"},
    {TDBXDataTypes::Int32Type, "INT32"},
    {TDBXDataTypes::DoubleType, "DOUBLE"},
    {TDBXDataTypes::BcdType, "BCD"},
    {TDBXDataTypes::BytesType, "BYTES"},
    {TDBXDataTypes::TimeType, "TIME"},
    {TDBXDataTypes::DateTimeType, "DATETIME"},
    {TDBXDataTypes::UInt16Type, "UINT16"},
    {TDBXDataTypes::UInt32Type, "UINT32"},
    {TDBXDataTypes::VarBytesType, "VARBYTES"},
    {TDBXDataTypes::CursorType, "CURSOR"},
    {TDBXDataTypes::Int64Type, "INT64"},
    {TDBXDataTypes::UInt64Type, "UINT64"},
    {TDBXDataTypes::AdtType, "ADT"},
    {TDBXDataTypes::ArrayType, "ARRAY_TYPE"},
    {TDBXDataTypes::RefType, "REF"},
    {TDBXDataTypes::TableType, "TABLE"},
    {TDBXDataTypes::TimeStampType, "TIMESTAMP"},
    {TDBXDataTypes::CurrencyType, "Currency"},
    {TDBXDataTypes::WideStringType, "WideString"},
    {TDBXDataTypes::SingleType, "SINGLE"},
    {TDBXDataTypes::Int8Type, "INT8"},
    {TDBXDataTypes::UInt8Type, "UINT8"},
    {TDBXDataTypes::VariantType, "Variant"},
    {TDBXDataTypes::TimeStampOffsetType, "TIMESTAMPOFFSET"},
    {TDBXDataTypes::JsonValueType, "JSON"},
};

struct TDirectionTexts {
  std::int32_t Direction;
  std::string_view Metadata;
  std::string_view Description;
};

constexpr TDirectionTexts kDirectionTexts[] = {
    {TDBXParameterDirections::InParameter, "IN", "In"},
    {TDBXParameterDirections::OutParameter, "OUT", "Out"},
    {TDBXParameterDirections::InOutParameter, "INOUT", "InOut"},
    {TDBXParameterDirections::ReturnParameter, "RESULT", "Return"},
};

const TDirectionTexts* FindDirection(std::int32_t Direction) {
  for (const auto& Entry : kDirectionTexts) {
    if (Entry.Direction == Direction) return &Entry;
  }
  return nullptr;
}

}  // namespace

std::string DataTypeName(std::int32_t DataType) {
  std::string Result(kTypeNamePrefix);
  for (const auto& [Code, Name] : kTypeNames) {
    if (Code == DataType) return Result.append(Name);
  }
  Result.append(kUnknownNameOpen).append(std::to_string(DataType)).append(kUnknownNameClose);
  return Result;
}

bool IsBlobLikeType(std::int32_t DataType) {
  switch (DataType) {
    case TDBXDataTypes::BlobType:
    case TDBXDataTypes::BytesType:
    case TDBXDataTypes::VarBytesType:
    case TDBXDataTypes::AdtType:
    case TDBXDataTypes::ArrayType:
      return true;
    default:
      return false;
  }
}

std::string_view DirectionMetadataText(std::int32_t Direction) {
  const auto* Entry = FindDirection(Direction);
  return Entry ? Entry->Metadata : std::string_view{};
}

std::string_view DirectionDescriptionText(std::int32_t Direction) {
  const auto* Entry = FindDirection(Direction);
  return Entry ? Entry->Description : std::string_view{};
}

}  // namespace tavrin
