#include "dbxstream/parameter_descriptions.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"

namespace tavrin {

namespace {

constexpr std::u16string_view kTrueText = u"true";
constexpr std::u16string_view kFalseText = u"false";
constexpr std::string_view kBadLiteral = "Invalid literal value for parameter ";

bool IsOutward(std::int32_t Direction) {
  return Direction == TDBXParameterDirections::OutParameter ||
         Direction == TDBXParameterDirections::InOutParameter ||
         Direction == TDBXParameterDirections::ReturnParameter;
}

template <typename T>
T ParseNumber(const TDBXParameter& Parameter, std::u16string_view Text) {
  const std::string Narrow = ToUtf8(Text);
  T Value{};
  const auto [End, Error] = std::from_chars(Narrow.data(), Narrow.data() + Narrow.size(), Value);
  if (Error != std::errc() || End != Narrow.data() + Narrow.size()) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, std::string(kBadLiteral) + Parameter.Name());
  }
  return Value;
}

// The literal's text converted by the parameter's holder; kinds without a text form
// keep no value.
void SetLiteralValue(TDBXParameter& Parameter, std::u16string_view Text) {
  TDBXWritableValue* Value = Parameter.Value();
  if (auto* Wide = dynamic_cast<TDBXWideStringValue*>(Value)) {
    Wide->SetWideString(std::u16string(Text));
  } else if (auto* Ansi = dynamic_cast<TDBXAnsiStringValue*>(Value)) {
    Ansi->SetAnsiString(ToUtf8(Text));
  } else if (auto* Bcd = dynamic_cast<TDBXBcdValue*>(Value)) {
    Bcd->SetBcd(ToUtf8(Text));
  } else if (auto* I16 = dynamic_cast<TDBXInt16Value*>(Value)) {
    I16->SetInt16(ParseNumber<std::int16_t>(Parameter, Text));
  } else if (auto* I32 = dynamic_cast<TDBXInt32Value*>(Value)) {
    I32->SetInt32(ParseNumber<std::int32_t>(Parameter, Text));
  } else if (auto* I64 = dynamic_cast<TDBXInt64Value*>(Value)) {
    I64->SetInt64(ParseNumber<std::int64_t>(Parameter, Text));
  } else if (auto* Dbl = dynamic_cast<TDBXDoubleValue*>(Value)) {
    Dbl->SetDouble(ParseNumber<double>(Parameter, Text));
  } else if (auto* Bool = dynamic_cast<TDBXBooleanValue*>(Value)) {
    Bool->SetBoolean(Text == kTrueText);
  }
}

// The value of a literal parameter as the description carries it.
std::u16string LiteralText(const TDBXParameter& Parameter) {
  const TDBXWritableValue* Value = Parameter.Value();
  if (Value == nullptr || Value->IsNull()) return {};
  if (const auto* Wide = dynamic_cast<const TDBXWideStringValue*>(Value)) {
    return Wide->GetWideString();
  }
  if (const auto* Ansi = dynamic_cast<const TDBXAnsiStringValue*>(Value)) {
    return ToUtf16(Ansi->GetAnsiString());
  }
  if (const auto* Bcd = dynamic_cast<const TDBXBcdValue*>(Value)) return ToUtf16(Bcd->GetBcd());
  if (const auto* I16 = dynamic_cast<const TDBXInt16Value*>(Value)) {
    return ToUtf16(std::to_string(I16->GetInt16()));
  }
  if (const auto* I32 = dynamic_cast<const TDBXInt32Value*>(Value)) {
    return ToUtf16(std::to_string(I32->GetInt32()));
  }
  if (const auto* I64 = dynamic_cast<const TDBXInt64Value*>(Value)) {
    return ToUtf16(std::to_string(I64->GetInt64()));
  }
  if (const auto* Bool = dynamic_cast<const TDBXBooleanValue*>(Value)) {
    return std::u16string(Bool->GetBoolean() ? kTrueText : kFalseText);
  }
  return {};
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
