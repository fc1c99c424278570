#include "dataset/params.h"

#include <algorithm>
#include <string>

#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

constexpr std::string_view kKindsDiffer = "Cannot copy a value of data type ";

[[noreturn]] void RaiseNoParameter(std::int32_t Index) {
  throw TDBXError(TDBXErrorCodes::InvalidInput, "No parameter " + std::to_string(Index));
}

// Copies when both holders are of kind T; false when From is not.
template <typename T, typename TGet, typename TSet>
bool CopyAs(const TDBXValue& From, TDBXWritableValue& To, TGet Get, TSet Set) {
  const auto* Source = dynamic_cast<const T*>(&From);
  if (Source == nullptr) return false;
  auto* Target = dynamic_cast<T*>(&To);
  if (Target == nullptr) {
    throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                    std::string(kKindsDiffer) + std::to_string(From.DataType()) + " into data type " +
                        std::to_string(To.DataType()));
  }
  (Target->*Set)((Source->*Get)());
  return true;
}

}  // namespace

void CopyValue(const TDBXValue& From, TDBXWritableValue& To) {
  if (From.IsNull()) {
    To.SetNull();
    return;
  }
  // Most derived kinds first: the memo holders descend from the string holders.
  const bool Copied =
      CopyAs<TDBXWideStringValue>(From, To, &TDBXWideStringValue::GetWideString, &TDBXWideStringValue::SetWideString) ||
      CopyAs<TDBXAnsiStringValue>(From, To, &TDBXAnsiStringValue::GetAnsiString, &TDBXAnsiStringValue::SetAnsiString) ||
      CopyAs<TDBXDateValue>(From, To, &TDBXDateValue::GetDate, &TDBXDateValue::SetDate) ||
      CopyAs<TDBXTimeOfDayValue>(From, To, &TDBXTimeOfDayValue::GetTime, &TDBXTimeOfDayValue::SetTime) ||
      CopyAs<TDBXBooleanValue>(From, To, &TDBXBooleanValue::GetBoolean, &TDBXBooleanValue::SetBoolean) ||
      CopyAs<TDBXInt8Value>(From, To, &TDBXInt8Value::GetInt8, &TDBXInt8Value::SetInt8) ||
      CopyAs<TDBXInt16Value>(From, To, &TDBXInt16Value::GetInt16, &TDBXInt16Value::SetInt16) ||
      CopyAs<TDBXInt32Value>(From, To, &TDBXInt32Value::GetInt32, &TDBXInt32Value::SetInt32) ||
      CopyAs<TDBXInt64Value>(From, To, &TDBXInt64Value::GetInt64, &TDBXInt64Value::SetInt64) ||
      CopyAs<TDBXUInt8Value>(From, To, &TDBXUInt8Value::GetUInt8, &TDBXUInt8Value::SetUInt8) ||
      CopyAs<TDBXUInt16Value>(From, To, &TDBXUInt16Value::GetUInt16, &TDBXUInt16Value::SetUInt16) ||
      CopyAs<TDBXDoubleValue>(From, To, &TDBXDoubleValue::GetDouble, &TDBXDoubleValue::SetDouble) ||
      CopyAs<TDBXSingleValue>(From, To, &TDBXSingleValue::GetSingle, &TDBXSingleValue::SetSingle) ||
      CopyAs<TDBXBcdValue>(From, To, &TDBXBcdValue::GetBcd, &TDBXBcdValue::SetBcd) ||
      CopyAs<TDBXTimeStampValue>(From, To, &TDBXTimeStampValue::GetTimeStamp, &TDBXTimeStampValue::SetTimeStamp) ||
      CopyAs<TDBXTimeStampOffsetValue>(From, To, &TDBXTimeStampOffsetValue::GetTimeStampOffset,
                                       &TDBXTimeStampOffsetValue::SetTimeStampOffset) ||
      CopyAs<TDBXStreamValue>(From, To, &TDBXStreamValue::GetStream, &TDBXStreamValue::SetStream) ||
      CopyAs<TDBXReaderValue>(From, To, &TDBXReaderValue::GetReader, &TDBXReaderValue::SetReader) ||
      CopyAs<TDBXCursorValue>(From, To, &TDBXCursorValue::GetCursor, &TDBXCursorValue::SetCursor) ||
      CopyAs<TDBXConnectionValue>(From, To, &TDBXConnectionValue::GetConnection, &TDBXConnectionValue::SetConnection) ||
      CopyAs<TDBXJSONValue>(From, To, &TDBXJSONValue::GetJSONValue, &TDBXJSONValue::SetJSONValue) ||
      CopyAs<TDBXCallbackValue>(From, To, &TDBXCallbackValue::GetCallback, &TDBXCallbackValue::SetCallback);
  if (!Copied) {
    throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                    std::string(kKindsDiffer) + std::to_string(From.DataType()));
  }
}

TDBXParameter& TParams::Add(std::string Name, std::int32_t DataType, std::int32_t SubType) {
  auto Parameter = std::make_unique<TDBXParameter>();
  Parameter->SetName(std::move(Name));
  Parameter->SetDataType(DataType);
  Parameter->SetSubType(SubType);
  Parameter->SetOrdinal(Count());
  Parameter->SetValue(CreateValueHolder(*Parameter));
  FItems.push_back(std::move(Parameter));
  return *FItems.back();
}

TDBXParameter& TParams::operator[](std::int32_t Index) {
  if (Index < 0 || Index >= Count()) RaiseNoParameter(Index);
  return *FItems[static_cast<std::size_t>(Index)];
}

const TDBXParameter& TParams::operator[](std::int32_t Index) const {
  if (Index < 0 || Index >= Count()) RaiseNoParameter(Index);
  return *FItems[static_cast<std::size_t>(Index)];
}

TDBXParameter* TParams::FindParam(std::string_view Name) {
  for (auto& Item : FItems) {
    if (SameTextIgnoringCase(Item->Name(), Name)) return Item.get();
  }
  return nullptr;
}

std::shared_ptr<TParams> TParams::FromReader(TDBXReader& Reader) {
  auto Params = std::make_shared<TParams>();
  for (std::int32_t i = 0; i < Reader.ColumnCount(); ++i) {
    const TDBXValueType& Column = Reader.ValueType(i);
    TDBXParameter& Parameter = Params->Add(Column.Name(), Column.DataType(), Column.SubType());
    Parameter.SetPrecision(Column.Precision());
    Parameter.SetScale(Column.Scale());
    Parameter.SetSize(Column.Size());
  }
  if (Reader.Next()) {
    for (std::int32_t i = 0; i < Params->Count(); ++i) CopyValue(Reader.Value(i), *(*Params)[i].Value());
  }
  return Params;
}

const TDBXValueType& TParamsReader::ValueType(std::int32_t Ordinal) const {
  if (Ordinal < 0 || Ordinal >= FParams->Count()) RaiseNoColumn(Ordinal);
  return (*FParams)[Ordinal];
}

bool TParamsReader::Next() {
  FOnRow = !FRowRead;
  FRowRead = true;
  return FOnRow;
}

const TDBXValue& TParamsReader::Value(std::int32_t Ordinal) {
  if (!FOnRow || Ordinal < 0 || Ordinal >= FParams->Count()) RaiseNoColumn(Ordinal);
  return *(*FParams)[Ordinal].Value();
}

}  // namespace tavrin
