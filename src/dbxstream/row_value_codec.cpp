#include "dbxstream/row_value_codec.h"

#include <string>

#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {

constexpr std::string_view kNoRowForm = "No row form for data type ";

[[noreturn]] void RaiseNoRowForm(const TDBXValue& Value) {
  throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                  std::string(kNoRowForm) + std::to_string(Value.DataType()));
}

// The usual kinds, found by the holder's data type code with one cast: each cast
// that fails costs a comparison of type names, and the full lists below try up to
// twenty. False when the holder is of no kind here (the lists then find it).
bool WriteUsualKind(TDBXRowBuffer& Row, const TDBXValueType& Type, const TDBXValue& Value, bool& Fitted) {
  namespace T = TDBXDataTypes;
  switch (Value.DataType()) {
    case T::Int32Type:
      if (const auto* I32 = HolderAs<TDBXInt32Value>(Value)) return Row.WriteInt32(I32->GetInt32()), true;
      break;
    case T::Int16Type:
      if (const auto* I16 = HolderAs<TDBXInt16Value>(Value)) return Row.WriteShort(I16->GetInt16()), true;
      break;
    case T::Int64Type:
      if (const auto* I64 = HolderAs<TDBXInt64Value>(Value)) return Row.WriteInt64(I64->GetInt64()), true;
      break;
    case T::BooleanType:
      if (const auto* Bool = HolderAs<TDBXBooleanValue>(Value)) return Row.WriteBoolean(Bool->GetBoolean()), true;
      break;
    case T::DoubleType:
      if (const auto* Dbl = HolderAs<TDBXDoubleValue>(Value)) {
        Row.WriteDoubleValue(Dbl->GetDouble(), Type.SubType());
        return true;
      }
      break;
    case T::WideStringType:
      if (const auto* Wide = HolderAs<TDBXWideStringValue>(Value)) {
        Fitted = Row.WriteString(Wide->GetWideString());
        return true;
      }
      break;
    default:
      break;
  }
  return false;
}

bool ReadUsualKind(TDBXRowBuffer& Row, const TDBXValueType& Type, TDBXWritableValue& Value) {
  namespace T = TDBXDataTypes;
  switch (Value.DataType()) {
    case T::Int32Type:
      if (auto* I32 = HolderAs<TDBXInt32Value>(Value)) return I32->SetInt32(Row.ReadInt32()), true;
      break;
    case T::Int16Type:
      if (auto* I16 = HolderAs<TDBXInt16Value>(Value)) return I16->SetInt16(Row.ReadInt16()), true;
      break;
    case T::Int64Type:
      if (auto* I64 = HolderAs<TDBXInt64Value>(Value)) return I64->SetInt64(Row.ReadInt64()), true;
      break;
    case T::BooleanType:
      if (auto* Bool = HolderAs<TDBXBooleanValue>(Value)) return Bool->SetBoolean(Row.ReadBoolean()), true;
      break;
    case T::DoubleType:
      if (auto* Dbl = HolderAs<TDBXDoubleValue>(Value)) return Dbl->SetDouble(Row.ReadDoubleValue(Type.SubType())), true;
      break;
    case T::WideStringType:
      if (auto* Wide = HolderAs<TDBXWideStringValue>(Value)) return Wide->SetWideString(Row.ReadString()), true;
      break;
    default:
      break;
  }
  return false;
}

}  // namespace

std::shared_ptr<TStream> WriteRowValue(TDBXRowBuffer& Row, const TDBXValueType& Type,
                                       const TDBXValue& Value) {
  if (Value.IsNull()) {
    Row.WriteNull();
    return nullptr;
  }
  bool Fitted = true;
  if (WriteUsualKind(Row, Type, Value, Fitted)) {
    return Fitted ? nullptr : Row.TakeOverflowStream();
  }
  if (const auto* Wide = HolderAs<TDBXWideStringValue>(Value)) {
    Fitted = Row.WriteString(Wide->GetWideString());
  } else if (const auto* Ansi = HolderAs<TDBXAnsiStringValue>(Value)) {
    Fitted = Row.WriteAnsiString(Ansi->GetAnsiString());
  } else if (const auto* Date = HolderAs<TDBXDateValue>(Value)) {
    Row.WriteDate(Date->GetDate());
  } else if (const auto* Time = HolderAs<TDBXTimeOfDayValue>(Value)) {
    Row.WriteTime(Time->GetTime());
  } else if (const auto* Bool = HolderAs<TDBXBooleanValue>(Value)) {
    Row.WriteBoolean(Bool->GetBoolean());
  } else if (const auto* I8 = HolderAs<TDBXInt8Value>(Value)) {
    Row.WriteByte(I8->GetInt8());
  } else if (const auto* I16 = HolderAs<TDBXInt16Value>(Value)) {
    Row.WriteShort(I16->GetInt16());
  } else if (const auto* I32 = HolderAs<TDBXInt32Value>(Value)) {
    Row.WriteInt32(I32->GetInt32());
  } else if (const auto* I64 = HolderAs<TDBXInt64Value>(Value)) {
    Row.WriteInt64(I64->GetInt64());
  } else if (const auto* U8 = HolderAs<TDBXUInt8Value>(Value)) {
    Row.WriteInt32(U8->GetUInt8());
  } else if (const auto* U16 = HolderAs<TDBXUInt16Value>(Value)) {
    Row.WriteInt32(U16->GetUInt16());
  } else if (const auto* Dbl = HolderAs<TDBXDoubleValue>(Value)) {
    Row.WriteDoubleValue(Dbl->GetDouble(), Type.SubType());
  } else if (const auto* Sgl = HolderAs<TDBXSingleValue>(Value)) {
    Row.WriteSingle(Sgl->GetSingle());
  } else if (const auto* Bcd = HolderAs<TDBXBcdValue>(Value)) {
    Row.WriteBcd(Bcd->GetBcd());
  } else if (const auto* Stamp = HolderAs<TDBXTimeStampValue>(Value)) {
    Row.WriteTimeStamp(Stamp->GetTimeStamp());
  } else if (const auto* Offset = HolderAs<TDBXTimeStampOffsetValue>(Value)) {
    Fitted = Row.WriteTimeStampOffset(Offset->GetTimeStampOffset());
  } else if (const auto* Json = HolderAs<TDBXJSONValue>(Value)) {
    Row.WriteJSONValue(Json->GetJSONValue());
  } else if (HolderAs<TDBXCallbackValue>(Value) != nullptr) {
    Row.WriteCallback();
  } else if (const auto* Bytes = HolderAs<TDBXStreamValue>(Value)) {
    const std::shared_ptr<TStream> Source = Bytes->GetStream();
    Row.WriteBytes(*Source);
    if (!Row.LastWriteFitted()) {
      std::shared_ptr<TStream> Rest = Row.TakeOverflowStream();
      // A source that could not tell its size, or keeps its rest, still holds the rest.
      return Rest ? Rest : Source;
    }
    return nullptr;
  } else {
    RaiseNoRowForm(Value);
  }
  if (Fitted) return nullptr;
  return Row.TakeOverflowStream();
}

void ReadRowValue(TDBXRowBuffer& Row, const TDBXValueType& Type, TDBXWritableValue& Value) {
  if (Row.Null()) {
    Row.ReadNull();
    Value.SetNull();
    return;
  }
  if (ReadUsualKind(Row, Type, Value)) {
    return;
  }
  if (auto* Wide = HolderAs<TDBXWideStringValue>(Value)) {
    Wide->SetWideString(Row.ReadString());
  } else if (auto* Ansi = HolderAs<TDBXAnsiStringValue>(Value)) {
    Ansi->SetAnsiString(Row.ReadAnsiString());
  } else if (auto* Date = HolderAs<TDBXDateValue>(Value)) {
    Date->SetDate(Row.ReadDate());
  } else if (auto* Time = HolderAs<TDBXTimeOfDayValue>(Value)) {
    Time->SetTime(Row.ReadTime());
  } else if (auto* Bool = HolderAs<TDBXBooleanValue>(Value)) {
    Bool->SetBoolean(Row.ReadBoolean());
  } else if (auto* I8 = HolderAs<TDBXInt8Value>(Value)) {
    I8->SetInt8(Row.ReadInt8());
  } else if (auto* I16 = HolderAs<TDBXInt16Value>(Value)) {
    I16->SetInt16(Row.ReadInt16());
  } else if (auto* I32 = HolderAs<TDBXInt32Value>(Value)) {
    I32->SetInt32(Row.ReadInt32());
  } else if (auto* I64 = HolderAs<TDBXInt64Value>(Value)) {
    I64->SetInt64(Row.ReadInt64());
  } else if (auto* U8 = HolderAs<TDBXUInt8Value>(Value)) {
    U8->SetUInt8(Row.ReadByte());
  } else if (auto* U16 = HolderAs<TDBXUInt16Value>(Value)) {
    U16->SetUInt16(Row.ReadUInt16());
  } else if (auto* Dbl = HolderAs<TDBXDoubleValue>(Value)) {
    Dbl->SetDouble(Row.ReadDoubleValue(Type.SubType()));
  } else if (auto* Sgl = HolderAs<TDBXSingleValue>(Value)) {
    Sgl->SetSingle(Row.ReadSingle());
  } else if (auto* Bcd = HolderAs<TDBXBcdValue>(Value)) {
    Bcd->SetBcd(Row.ReadBcd());
  } else if (auto* Stamp = HolderAs<TDBXTimeStampValue>(Value)) {
    Stamp->SetTimeStamp(Row.ReadTimeStamp());
  } else if (auto* Offset = HolderAs<TDBXTimeStampOffsetValue>(Value)) {
    Offset->SetTimeStampOffset(Row.ReadTimeStampOffset());
  } else if (auto* Json = HolderAs<TDBXJSONValue>(Value)) {
    auto Read = Row.ReadJSONValue();
    if (Read) Json->SetJSONValue(std::move(*Read)); else Json->SetNull();
  } else if (auto* Bytes = HolderAs<TDBXStreamValue>(Value)) {
    Bytes->SetBytes(Row.ReadBytes());
  } else {
    RaiseNoRowForm(Value);
  }
}

}  // namespace tavrin
