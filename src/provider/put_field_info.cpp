#include "provider/put_field_info.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "dataset/database_error.h"
#include "datapacket/packet_layout.h"
#include "datapacket/packet_values.h"
#include "datapacket/type_word.h"
#include "datapacket/writer.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

using FT = TFieldType;
namespace T = TPacketType;

// Decimals without a precision hold this many digits.
constexpr std::int32_t kDefaultBcdPrecision = 32;
// Varying values of this size or more take a 2-byte length prefix.
constexpr std::int32_t kWidePrefixFrom = 255;
constexpr std::uint32_t kBlobPrefixWidth = 4;

[[noreturn]] void RaiseField(const TField& Field, const std::string& Text) {
  throw EDSWriter("Field '" + Field.FieldName() + Text, 0);
}

void DescribeFixed(TPutFieldInfo& Info, std::uint32_t Base, std::int32_t Size) {
  Info.Size = Size;
  Info.TypeWord = MakeTypeWord(Base, static_cast<std::uint32_t>(Size));
  Info.PutProc = TPutKind::Fixed;
}

void DescribeVarying(TPutFieldInfo& Info, std::uint32_t Base, std::int32_t Size, TPutKind Kind) {
  Info.Size = Size;
  Info.Width = Size;
  Info.TypeWord = MakeTypeWord(Base, Size < kWidePrefixFrom ? 1 : 2, TTypeWord::Varying);
  Info.PutProc = Kind;
}

// The bytes a decimal of Precision digits takes: at least what the native layout gives
// (a precision and a sign byte, half a byte per digit, evened up), and never fewer than
// the digits need.
std::int32_t BcdSize(std::int32_t Precision) {
  const std::int32_t Half = Precision / 2;
  return std::max(Half + (Half & 1) + 2, 2 + (Precision + 1) / 2);
}

bool IsBlob(FT Type) {
  switch (Type) {
    case FT::ftBlob: case FT::ftMemo: case FT::ftGraphic: case FT::ftFmtMemo: case FT::ftParadoxOle:
    case FT::ftDBaseOle: case FT::ftTypedBinary: case FT::ftOraBlob: case FT::ftOraClob: case FT::ftWideMemo:
      return true;
    default:
      return false;
  }
}

// --- Values ----------------------------------------------------------------------------

void CheckPut(TDSWriter& Writer, std::uint16_t Status) {
  if (Status != 0) Writer.Check(Status);
}

void PutBytes(TDSWriter& Writer, const void* Data, std::size_t Length) {
  CheckPut(Writer, Writer.PutValue(TPutValue::Value, static_cast<std::uint32_t>(Length), Data));
}

[[noreturn]] void RaiseOutOfRange(const TField& Field, const std::string& Value) {
  throw EDatabaseError("'" + Value + "' " + TFieldErrors::kOutOfRange + " '" + Field.FieldName() + "'");
}

std::int64_t WholeWithin(const TField& Field, std::int64_t Low, std::int64_t High) {
  const std::int64_t Whole = Field.AsLargeInt();
  if (Whole < Low || Whole > High) RaiseOutOfRange(Field, std::to_string(Whole));
  return Whole;
}

// A number as decimal text with the field's decimal places.
std::string DecimalText(const TField& Field, double Number) {
  if (!std::isfinite(Number)) RaiseOutOfRange(Field, Field.AsString());
  // The text only has to hold what a decimal can: 64 digits at most, more never fit.
  char Buffer[400];
  std::snprintf(Buffer, sizeof Buffer, "%.*f", std::clamp(Field.Size(), 0, 64), Number);
  return Buffer;
}

// The value in a decimal column of Size bytes: a whole number or text as it is (text
// that is no plain decimal, "1e3" say, through its number), other numbers with the
// field's decimal places.
TFixedValue DecimalValue(const TField& Field, std::uint32_t Size) {
  const TFieldValue& Value = Field.Value();
  std::string Text;
  if (const auto* Whole = std::get_if<std::int64_t>(&Value)) {
    Text = std::to_string(*Whole);
  } else if (const auto* Stored = std::get_if<std::string>(&Value)) {
    Text = *Stored;
    while (!Text.empty() && Text.back() == ' ') Text.pop_back();
    while (!Text.empty() && Text.front() == ' ') Text.erase(Text.begin());
    if (const auto Decimal = BcdValue(Text, Size)) return *Decimal;
    Text = DecimalText(Field, Field.AsFloat());  // raises for text that is no number
  } else {
    Text = DecimalText(Field, Field.AsFloat());
  }
  const auto Decimal = BcdValue(Text, Size);
  if (!Decimal) RaiseOutOfRange(Field, Text);
  return *Decimal;
}

void PutFixed(TDSWriter& Writer, const TPutFieldInfo& Info) {
  const TField& Field = *Info.Field;
  const auto Size = static_cast<std::uint32_t>(Info.Size);
  TFixedValue Value;
  switch (Info.DataType) {
    case FT::ftSmallint:
      Value = IntegerValue(WholeWithin(Field, INT16_MIN, INT16_MAX), Size);
      break;
    case FT::ftInteger:
    case FT::ftAutoInc:
      Value = IntegerValue(WholeWithin(Field, INT32_MIN, INT32_MAX), Size);
      break;
    case FT::ftShortint:
      Value = IntegerValue(WholeWithin(Field, INT8_MIN, INT8_MAX), Size);
      break;
    case FT::ftLargeint:
      Value = IntegerValue(Field.AsLargeInt(), Size);
      break;
    case FT::ftByte:
      Value = IntegerValue(WholeWithin(Field, 0, UINT8_MAX), Size);
      break;
    case FT::ftWord:
      Value = IntegerValue(WholeWithin(Field, 0, UINT16_MAX), Size);
      break;
    case FT::ftLongWord:
      Value = IntegerValue(WholeWithin(Field, 0, UINT32_MAX), Size);
      break;
    case FT::ftBoolean:
      Value = BooleanValue(Field.AsBoolean());
      break;
    case FT::ftFloat:
    case FT::ftCurrency:
      Value = FloatValue(Field.AsFloat());
      break;
    case FT::ftSingle:
      Value = SingleValue(static_cast<float>(Field.AsFloat()));
      break;
    case FT::ftBCD:
    case FT::ftFMTBcd:
      Value = DecimalValue(Field, Size);
      break;
    case FT::ftDate: {
      const TSQLTimeStamp Stamp = Field.AsSQLTimeStamp();
      Value = DateValue(Stamp.Year, Stamp.Month, Stamp.Day);
      break;
    }
    case FT::ftTime: {
      const TSQLTimeStamp Stamp = Field.AsSQLTimeStamp();
      Value = TimeValue(Stamp.Hour, Stamp.Minute, Stamp.Second, static_cast<int>(Stamp.Fractions));
      break;
    }
    case FT::ftDateTime:
      Value = DateTimeValue(Field.AsSQLTimeStamp());
      break;
    case FT::ftTimeStamp:
      Value = TimeStampValue(Field.AsSQLTimeStamp());
      break;
    case FT::ftTimeStampOffset:
      Value = TimeStampOffsetValue(Field.AsSQLTimeStamp(), 0, 0);
      break;
    case FT::ftBytes: {
      TFieldBytes Bytes = Field.AsBytes();
      if (Bytes.size() > Size) RaiseOutOfRange(Field, HexText(Bytes));
      Bytes.resize(Size);
      PutBytes(Writer, Bytes.data(), Bytes.size());
      return;
    }
    default:
      RaiseField(Field, TPutFieldErrors::kUnknownType);
  }
  PutBytes(Writer, Value.Data(), Value.Size());
}

// The field's text as UTF-16 code units in Buffer.
void WideBytes(const TField& Field, const TFieldValue& Value, std::vector<std::uint8_t>& Buffer) {
  Buffer.clear();
  if (const auto* Text = std::get_if<std::string>(&Value)) {
    AppendUtf16LE(*Text, Buffer);
  } else {
    AppendUtf16LE(Field.AsString(), Buffer);
  }
}

// A blob's bytes in Buffer: UTF-16 for a wide memo, the text's UTF-8 for the other memos.
void BlobBytes(const TPutFieldInfo& Info, std::vector<std::uint8_t>& Buffer) {
  if (Info.DataType == FT::ftWideMemo) {
    WideBytes(*Info.Field, Info.Field->Value(), Buffer);
    return;
  }
  const TFieldValue& Value = Info.Field->Value();
  if (const auto* Bytes = std::get_if<TFieldBytes>(&Value)) {
    Buffer.assign(Bytes->begin(), Bytes->end());
  } else {
    const std::string Text = Info.Field->AsString();
    Buffer.assign(Text.begin(), Text.end());
  }
}

}  // namespace

TPutFieldInfo DescribeField(TField& Field) {
  TPutFieldInfo Info;
  Info.FieldNo = Field.FieldNo();
  Info.Field = &Field;
  Info.DataSet = &Field.DataSet();
  Info.FieldName = Field.FieldName();
  Info.DataType = Field.DataType();
  switch (Field.DataType()) {
    case FT::ftString:
    case FT::ftFixedChar:
    case FT::ftGuid:
      DescribeVarying(Info, T::Text, Field.Size(), TPutKind::String);
      break;
    // Fixed-length wide text is wide text all the same (the engine reads char(n) so).
    case FT::ftWideString:
    case FT::ftFixedWideChar:
      DescribeVarying(Info, T::WideText, Field.Size() * 2, TPutKind::WideString);
      break;
    case FT::ftVarBytes:
      DescribeVarying(Info, T::Bytes, Field.Size(), TPutKind::VarBytes);
      break;
    case FT::ftBCD:
    case FT::ftFMTBcd: {
      const std::int32_t Precision = Field.Precision() > 0 ? Field.Precision() : kDefaultBcdPrecision;
      DescribeFixed(Info, Field.DataType() == FT::ftBCD ? T::Bcd : T::FmtBcd, BcdSize(Precision));
      Info.Width = Precision;
      break;
    }
    case FT::ftSmallint: DescribeFixed(Info, T::Integer, 2); break;
    case FT::ftInteger:
    case FT::ftAutoInc: DescribeFixed(Info, T::Integer, 4); break;
    case FT::ftLargeint: DescribeFixed(Info, T::Integer, 8); break;
    case FT::ftShortint: DescribeFixed(Info, T::Integer, 1); break;
    case FT::ftWord: DescribeFixed(Info, T::Unsigned, 2); break;
    case FT::ftLongWord: DescribeFixed(Info, T::Unsigned, 4); break;
    case FT::ftByte: DescribeFixed(Info, T::Unsigned, 1); break;
    case FT::ftBoolean: DescribeFixed(Info, T::Boolean, 2); break;
    case FT::ftFloat:
    case FT::ftCurrency: DescribeFixed(Info, T::Float, 8); break;
    case FT::ftSingle: DescribeFixed(Info, T::Single, 4); break;
    case FT::ftDate: DescribeFixed(Info, T::Date, 4); break;
    case FT::ftTime: DescribeFixed(Info, T::Time, 4); break;
    case FT::ftDateTime: DescribeFixed(Info, T::DateTime, 8); break;
    case FT::ftTimeStamp: DescribeFixed(Info, T::TimeStamp, 16); break;
    case FT::ftTimeStampOffset: DescribeFixed(Info, T::TimeStampOffset, 20); break;
    case FT::ftBytes: DescribeFixed(Info, T::Bytes, Field.Size()); break;
    case FT::ftADT:
    case FT::ftArray:
    case FT::ftReference:
    case FT::ftDataSet:
      RaiseField(Field, "' is of type " + std::string(FieldTypeName(Field.DataType())) + TPutFieldErrors::kNotCarried);
    default:
      if (!IsBlob(Field.DataType())) RaiseField(Field, TPutFieldErrors::kUnknownType);
      Info.Size = Field.Size();
      Info.Width = Field.Size();
      Info.TypeWord = MakeTypeWord(T::Bytes, kBlobPrefixWidth, TTypeWord::Varying);
      Info.PutProc = TPutKind::Blob;
  }
  return Info;
}

std::uint16_t ColumnBits(const TField& Field) {
  std::uint16_t Bits = 0;
  if (Field.ReadOnly() || Field.FieldKind() != TFieldKind::fkData) Bits |= TColumnBits::ReadOnly;
  if (Field.Required() && Field.DataType() != FT::ftAutoInc) Bits |= TColumnBits::Required;
  if ((Field.ProviderFlags() & TProviderFlag::pfHidden) != 0) Bits |= TColumnBits::Hidden | TColumnBits::ReadOnly;
  return Bits;
}

std::string_view SubTypeOf(TFieldType Type) {
  switch (Type) {
    case FT::ftFixedChar:
    case FT::ftFixedWideChar: return "FixedChar";
    case FT::ftCurrency: return "Money";
    case FT::ftAutoInc: return "Autoinc";
    case FT::ftVarBytes:
    case FT::ftBlob: return "Binary";
    case FT::ftMemo: return "Text";
    case FT::ftWideMemo: return "WideText";
    case FT::ftFmtMemo: return "Formatted";
    case FT::ftParadoxOle: return "Ole";
    case FT::ftGraphic: return "Graphics";
    case FT::ftDBaseOle: return "dBASEOle";
    case FT::ftTypedBinary: return "TypedBinary";
    case FT::ftReference: return "Reference";
    case FT::ftGuid: return "Guid";
    case FT::ftOraClob: return "HMemo";
    case FT::ftOraBlob: return "HBinary";
    default: return {};
  }
}

void PutFieldValue(TDSWriter& Writer, const TPutFieldInfo& Info, const TFieldValue& Stored, bool BlobsOnDemand,
                   std::vector<std::uint8_t>& Buffer) {
  const TField& Field = *Info.Field;
  if (Info.PutProc == TPutKind::Blob && BlobsOnDemand) {
    Buffer.clear();
    if (!Field.IsNull()) BlobBytes(Info, Buffer);
    const auto Size = static_cast<std::uint32_t>(Buffer.size());
    std::uint8_t SizeBytes[4];
    StoreLE(SizeBytes, Size, 4);
    CheckPut(Writer, Writer.PutValue(TPutValue::Value, TPutValue::BlobOnDemandLength, SizeBytes));
    return;
  }
  if (std::holds_alternative<std::monostate>(Stored)) {
    CheckPut(Writer, Writer.PutValue(TPutValue::Null, 0, nullptr));
    return;
  }
  // The cells a list is mostly made of, straight from the value already looked up.
  if (Info.PutProc == TPutKind::Fixed) {
    const auto* Number = std::get_if<double>(&Stored);
    if (Number != nullptr && (Info.DataType == FT::ftFloat || Info.DataType == FT::ftCurrency)) {
      const TFixedValue Value = FloatValue(*Number);
      PutBytes(Writer, Value.Data(), Value.Size());
      return;
    }
    const auto* Whole = std::get_if<std::int64_t>(&Stored);
    if (Whole != nullptr && (Info.DataType == FT::ftInteger || Info.DataType == FT::ftAutoInc) &&
        *Whole >= INT32_MIN && *Whole <= INT32_MAX) {
      const TFixedValue Value = IntegerValue(*Whole, static_cast<std::uint32_t>(Info.Size));
      PutBytes(Writer, Value.Data(), Value.Size());
      return;
    }
  }
  switch (Info.PutProc) {
    case TPutKind::String: {
      const std::string* Text = std::get_if<std::string>(&Stored);
      const std::string Converted = Text != nullptr ? std::string() : Field.AsString();
      const std::string_view Whole = Text != nullptr ? std::string_view(*Text) : std::string_view(Converted);
      const std::string_view UpToNul = Whole.substr(0, Whole.find('\0'));
      PutBytes(Writer, UpToNul.data(), UpToNul.size());
      return;
    }
    case TPutKind::WideString:
      WideBytes(Field, Stored, Buffer);
      PutBytes(Writer, Buffer.data(), Buffer.size());
      return;
    case TPutKind::VarBytes: {
      const TFieldBytes Bytes = Field.AsBytes();
      PutBytes(Writer, Bytes.data(), Bytes.size());
      return;
    }
    case TPutKind::Blob:
      BlobBytes(Info, Buffer);
      if (Buffer.empty()) {
        CheckPut(Writer, Writer.PutValue(TPutValue::Null, 0, nullptr));
      } else {
        PutBytes(Writer, Buffer.data(), Buffer.size());
      }
      return;
    case TPutKind::Fixed:
      PutFixed(Writer, Info);
      return;
  }
}

}  // namespace tavrin
