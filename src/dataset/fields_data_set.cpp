#include "dataset/fields_data_set.h"

#include <limits>
#include <string>

#include "vocabulary/data_types.h"
#include "dataset/database_error.h"
#include "vocabulary/dbx_error.h"

namespace tavrin {
namespace {

using FT = TFieldType;

struct TTableType {
  std::int32_t DataType = TDBXDataTypes::UnknownType;
  std::int32_t SubType = TDBXSubDataTypes::NoSubType;
};

TTableType TableTypeOf(TFieldType Type) {
  namespace DT = TDBXDataTypes;
  switch (Type) {
    case FT::ftString: case FT::ftFixedChar: case FT::ftGuid:
    case FT::ftWideString: case FT::ftFixedWideChar:
      return {DT::WideStringType};
    case FT::ftMemo: case FT::ftWideMemo: case FT::ftFmtMemo: case FT::ftOraClob:
      return {DT::BlobType, TDBXSubDataTypes::WideMemoSubType};
    case FT::ftBytes: case FT::ftVarBytes: case FT::ftBlob: case FT::ftGraphic:
    case FT::ftParadoxOle: case FT::ftDBaseOle: case FT::ftTypedBinary: case FT::ftOraBlob:
      return {DT::BinaryBlobType};
    case FT::ftBoolean: return {DT::BooleanType};
    case FT::ftShortint: return {DT::Int8Type};
    case FT::ftByte: return {DT::UInt8Type};
    case FT::ftSmallint: return {DT::Int16Type};
    case FT::ftWord: return {DT::UInt16Type};
    case FT::ftInteger: case FT::ftAutoInc: return {DT::Int32Type};
    case FT::ftLongWord: case FT::ftLargeint: return {DT::Int64Type};
    case FT::ftFloat: case FT::ftExtended: return {DT::DoubleType};
    case FT::ftSingle: return {DT::SingleType};
    case FT::ftCurrency: return {DT::CurrencyType};
    case FT::ftBCD: case FT::ftFMTBcd: return {DT::BcdType};
    case FT::ftDate: return {DT::DateType};
    case FT::ftTime: return {DT::TimeType};
    case FT::ftDateTime: case FT::ftTimeStamp: case FT::ftOraTimeStamp: return {DT::TimeStampType};
    default: return {};
  }
}

template <typename T>
T Narrowed(const TField& Field) {
  const std::int64_t Whole = Field.AsLargeInt();
  if (Whole < std::numeric_limits<T>::min() || Whole > std::numeric_limits<T>::max()) {
    throw EDatabaseError("'" + std::to_string(Whole) + "' " + TFieldErrors::kOutOfRange + " '" +
                         Field.FieldName() + "'");
  }
  return static_cast<T>(Whole);
}

// Fills Holder (made for the field's table type) with the field's current value.
void FillHolder(const TField& Field, TDBXWritableValue& Holder) {
  namespace DT = TDBXDataTypes;
  if (Field.IsNull()) {
    Holder.SetNull();
    return;
  }
  switch (Holder.DataType()) {
    case DT::WideStringType: case DT::BlobType:
      dynamic_cast<TDBXWideStringValue&>(Holder).SetWideString(Field.AsWideString());
      return;
    case DT::BinaryBlobType:
      dynamic_cast<TDBXStreamValue&>(Holder).SetBytes(Field.AsBytes());
      return;
    case DT::BooleanType: dynamic_cast<TDBXBooleanValue&>(Holder).SetBoolean(Field.AsBoolean()); return;
    case DT::Int8Type: dynamic_cast<TDBXInt8Value&>(Holder).SetInt8(Narrowed<std::int8_t>(Field)); return;
    case DT::UInt8Type: dynamic_cast<TDBXUInt8Value&>(Holder).SetUInt8(Narrowed<std::uint8_t>(Field)); return;
    case DT::Int16Type: dynamic_cast<TDBXInt16Value&>(Holder).SetInt16(Narrowed<std::int16_t>(Field)); return;
    case DT::UInt16Type:
      dynamic_cast<TDBXUInt16Value&>(Holder).SetUInt16(Narrowed<std::uint16_t>(Field));
      return;
    case DT::Int32Type: dynamic_cast<TDBXInt32Value&>(Holder).SetInt32(Field.AsInteger()); return;
    case DT::Int64Type: dynamic_cast<TDBXInt64Value&>(Holder).SetInt64(Field.AsLargeInt()); return;
    case DT::DoubleType: dynamic_cast<TDBXDoubleValue&>(Holder).SetDouble(Field.AsFloat()); return;
    case DT::SingleType:
      dynamic_cast<TDBXSingleValue&>(Holder).SetSingle(static_cast<float>(Field.AsFloat()));
      return;
    case DT::CurrencyType: case DT::BcdType: {
      // Text must hold a number (AsFloat raises otherwise); the decimal goes on as text,
      // which keeps every digit the value has.
      if (std::holds_alternative<std::string>(Field.Value())) static_cast<void>(Field.AsFloat());
      dynamic_cast<TDBXBcdValue&>(Holder).SetBcd(Field.AsString());
      return;
    }
    case DT::DateType: {
      const TSQLTimeStamp Stamp = Field.AsSQLTimeStamp();
      dynamic_cast<TDBXDateValue&>(Holder).SetDate(
          static_cast<std::int32_t>(EncodeDbxDate(Stamp.Year, Stamp.Month, Stamp.Day)));
      return;
    }
    case DT::TimeType: {
      const TSQLTimeStamp Stamp = Field.AsSQLTimeStamp();
      dynamic_cast<TDBXTimeOfDayValue&>(Holder).SetTime(static_cast<std::int32_t>(
          EncodeDbxTime(Stamp.Hour, Stamp.Minute, Stamp.Second, static_cast<int>(Stamp.Fractions))));
      return;
    }
    case DT::TimeStampType:
      dynamic_cast<TDBXTimeStampValue&>(Holder).SetTimeStamp(Field.AsSQLTimeStamp());
      return;
    default:
      throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                      "Unexpected data type " + std::to_string(Holder.DataType()));
  }
}

}  // namespace

TDBXValueType FieldValueType(const TField& Field) {
  const TTableType Table = TableTypeOf(Field.DataType());
  TDBXValueType Type;
  Type.SetName(Field.FieldName());
  Type.SetOrdinal(Field.Index());
  Type.SetDataType(Table.DataType);
  Type.SetSubType(Table.SubType);
  if (Table.DataType == TDBXDataTypes::BcdType) {
    Type.SetPrecision(Field.Precision());
    Type.SetScale(Field.Size());
  } else {
    Type.SetPrecision(Field.Size());
    Type.SetSize(Field.Size());
  }
  Type.SetNullable(!Field.Required());
  Type.SetReadOnly(Field.ReadOnly());
  return Type;
}

const TDBXValueType& TFieldsDataSet::FieldDef(std::int32_t Index) const {
  if (Index < 0 || Index >= FieldCount()) RaiseNoField(Index);
  return FFields[static_cast<std::size_t>(Index)].ValueType;
}

const TDBXValue& TFieldsDataSet::FieldValue(std::int32_t Index) {
  if (Index < 0 || Index >= FieldCount()) RaiseNoField(Index);
  TFieldEntry& Entry = FFields[static_cast<std::size_t>(Index)];
  if (!Entry.Holder) Entry.Holder = CreateValueHolder(Entry.ValueType);
  FillHolder(*Entry.Field, *Entry.Holder);
  return *Entry.Holder;
}

TField& TFieldsDataSet::Fields(std::int32_t Index) const {
  if (Index < 0 || Index >= FieldCount()) RaiseNoField(Index);
  return *FFields[static_cast<std::size_t>(Index)].Field;
}

TField* TFieldsDataSet::FindFieldObject(std::string_view Name) const {
  for (const TFieldEntry& Entry : FFields) {
    if (SameName(Entry.Field->FieldName(), Name)) return Entry.Field.get();
  }
  return nullptr;
}

TField& TFieldsDataSet::FieldByName(std::string_view Name) const {
  TField* Found = FindFieldObject(Name);
  if (!Found) throw EDatabaseError(kFieldNotFound + std::string(Name));
  return *Found;
}

TField& TFieldsDataSet::AddField(TFieldDefinition Definition) {
  TFieldEntry Entry;
  Entry.Field = std::make_unique<TField>(*this, std::move(Definition), FieldCount());
  Entry.ValueType = FieldValueType(*Entry.Field);
  FFields.push_back(std::move(Entry));
  return *FFields.back().Field;
}

void TFieldsDataSet::ClearFields() { FFields.clear(); }

}  // namespace tavrin
