#include "vocabulary/value_holders.h"

#include <string>

#include "vocabulary/dbx_error.h"

namespace tavrin {
namespace {

constexpr std::string_view kUnexpectedDataType = "Unexpected data type ";

std::unique_ptr<TDBXWritableValue> CreateBlobLikeHolder(std::int32_t DataType, std::int32_t SubType) {
  switch (SubType) {
    case TDBXSubDataTypes::MemoSubType:
    case TDBXSubDataTypes::AnsiMemoSubType:
      return std::make_unique<TDBXAnsiMemoValue>(DataType);
    case TDBXSubDataTypes::WideMemoSubType:
      return std::make_unique<TDBXWideMemoValue>(DataType);
    default:
      return std::make_unique<TDBXStreamValue>(DataType);
  }
}

std::unique_ptr<TDBXWritableValue> CreateStandardHolder(const TDBXValueType& ValueType) {
  namespace T = TDBXDataTypes;
  const std::int32_t Code = ValueType.DataType();
  if (IsBlobLikeType(Code)) return CreateBlobLikeHolder(Code, ValueType.SubType());
  switch (Code) {
    case T::AnsiStringType: return std::make_unique<TDBXAnsiStringValue>();
    case T::DateType: return std::make_unique<TDBXDateValue>();
    case T::BooleanType: return std::make_unique<TDBXBooleanValue>();
    case T::Int16Type: return std::make_unique<TDBXInt16Value>();
    case T::Int32Type: return std::make_unique<TDBXInt32Value>();
    case T::DoubleType: return std::make_unique<TDBXDoubleValue>();
    case T::BcdType:
    case T::CurrencyType: return std::make_unique<TDBXBcdValue>(Code);
    case T::TimeType: return std::make_unique<TDBXTimeOfDayValue>();
    case T::DateTimeType:
    case T::TimeStampType: return std::make_unique<TDBXTimeStampValue>(Code);
    case T::UInt16Type: return std::make_unique<TDBXUInt16Value>();
    case T::CursorType: return std::make_unique<TDBXCursorValue>();
    case T::Int64Type: return std::make_unique<TDBXInt64Value>();
    case T::TableType: return std::make_unique<TDBXReaderValue>();
    case T::WideStringType: return std::make_unique<TDBXWideStringValue>();
    case T::SingleType: return std::make_unique<TDBXSingleValue>();
    case T::Int8Type: return std::make_unique<TDBXInt8Value>();
    case T::UInt8Type: return std::make_unique<TDBXUInt8Value>();
    case T::BinaryBlobType:
    case T::VariantType: return std::make_unique<TDBXStreamValue>(Code);
    case T::ConnectionType: return std::make_unique<TDBXConnectionValue>();
    case T::TimeStampOffsetType: return std::make_unique<TDBXTimeStampOffsetValue>();
    case T::JsonValueType: return std::make_unique<TDBXJSONValue>();
    case T::CallbackType: return std::make_unique<TDBXCallbackValue>();
    default:
      throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                      std::string(kUnexpectedDataType) + std::to_string(Code));
  }
}

}  // namespace

std::unique_ptr<TDBXWritableValue> CreateValueHolder(TDBXValueType& ValueType, bool FreezeType,
                                                     const TRowValueSupplier& Row) {
  std::unique_ptr<TDBXWritableValue> Holder;
  if (Row) Holder = Row(ValueType);
  if (!Holder) Holder = CreateStandardHolder(ValueType);
  if (FreezeType) ValueType.FreezeType();
  return Holder;
}

}  // namespace tavrin
