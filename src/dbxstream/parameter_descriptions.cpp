#include "dbxstream/parameter_descriptions.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_text.h"

namespace tavrin {

namespace {

bool IsOutward(std::int32_t Direction) {
  return Direction == TDBXParameterDirections::OutParameter ||
         Direction == TDBXParameterDirections::InOutParameter ||
         Direction == TDBXParameterDirections::ReturnParameter;
}

bool IsTextHolder(const TDBXWritableValue& Value) {
  return HolderAs<TDBXWideStringValue>(Value) != nullptr || HolderAs<TDBXAnsiStringValue>(Value) != nullptr;
}

// The literal's text converted by the parameter's holder. A null literal travels as an
// empty text, so an empty text leaves a kind that has no empty value null.
void SetLiteralValue(TDBXParameter& Parameter, std::u16string_view Text) {
  TDBXWritableValue& Value = *Parameter.Value();
  if (Text.empty() && !IsTextHolder(Value)) return;
  SetLiteralFromText(Parameter, Value, Text);
}

// The value of a literal parameter as the description carries it: empty for a null.
std::u16string LiteralText(const TDBXParameter& Parameter) {
  const TDBXWritableValue* Value = Parameter.Value();
  if (Value == nullptr || Value->IsNull()) return {};
  if (const auto* Wide = HolderAs<TDBXWideStringValue>(*Value)) return Wide->GetWideString();
  return ToUtf16(ValueText(Parameter, *Value));
}

std::int32_t SizeOnWire(std::int64_t Size) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(Size, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::unique_ptr<TDBXParameter> ReadParameter(TDBXJSonStreamReader& Reader) {
  auto Parameter = std::make_unique<TDBXParameter>();
  Reader.Next(TDBXTokens::ArrayStart);
  Parameter->SetDataType(Reader.ReadInt());
  Reader.NextValueSeparator();
  Parameter->SetSubType(Reader.ReadInt());
  Reader.NextValueSeparator();
  Parameter->SetParameterDirection(Reader.ReadInt());
  Reader.NextValueSeparator();
  Parameter->SetPrecision(Reader.ReadLong());
  Reader.NextValueSeparator();
  Parameter->SetScale(Reader.ReadInt());
  Reader.NextValueSeparator();
  Parameter->SetName(ToUtf8(Reader.ReadString()));
  Reader.NextValueSeparator();
  Parameter->SetChildPosition(Reader.ReadInt());
  Reader.NextValueSeparator();
  std::int64_t Size = Reader.ReadInt();
  std::int32_t Flags = 0;
  std::optional<std::u16string> Literal;
  if (Reader.Next() == TDBXTokens::ValueSeparator) {
    Flags = Reader.ReadInt();
    if ((Flags & TDBXValueTypeFlags::Literal) != 0) {
      Reader.NextValueSeparator();
      Literal = Reader.ReadString();
    }
    Reader.SkipToEndOfArray();
  } else if (Reader.GetToken() != TDBXTokens::ArrayEnd) {
    Reader.SkipToEndOfArray();
  }
  const std::int32_t Type = Parameter->DataType();
  if (Size == 0 && IsOutward(Parameter->ParameterDirection()) && Parameter->Precision() != 0 &&
      (Type == TDBXDataTypes::AnsiStringType || Type == TDBXDataTypes::WideStringType)) {
    Size = Parameter->Precision();
  }
  Parameter->SetSize(Size);
  Parameter->SetValueTypeFlags(Flags | TDBXValueTypeFlags::ReadFromWire);
  Parameter->SetValue(CreateValueHolder(*Parameter));
  if (Literal) SetLiteralValue(*Parameter, *Literal);
  return Parameter;
}

std::unique_ptr<TDBXParameterList> ReadParameterList(TDBXJSonStreamReader& Reader) {
  auto List = std::make_unique<TDBXParameterList>();
  const std::int32_t Count = Reader.ReadInt();
  if (Reader.Next() != TDBXTokens::ValueSeparator) return List;
  for (std::int32_t i = 0; i < Count; ++i) {
    if (i > 0) Reader.NextValueSeparator();
    List->push_back(ReadParameter(Reader));
  }
  return List;
}

void WriteParameterList(TDBXJSonStreamWriter& Writer, const TDBXParameterList& Parameters) {
  Writer.WriteParametersObjectStart(static_cast<std::int32_t>(Parameters.size()));
  for (const auto& Parameter : Parameters) {
    std::optional<std::u16string> Literal;
    if (Parameter->Literal()) Literal = LiteralText(*Parameter);
    Writer.WriteParameterDescription(
        Parameter->DataType(), Parameter->SubType(), Parameter->ParameterDirection(),
        Parameter->Precision(), Parameter->Scale(), ToUtf16(Parameter->Name()),
        Parameter->ChildPosition(), SizeOnWire(Parameter->Size()), Parameter->ValueTypeFlags(),
        Literal ? std::optional<std::u16string_view>(*Literal) : std::nullopt);
  }
  Writer.WriteParametersObjectEnd();
}

}  // namespace tavrin
