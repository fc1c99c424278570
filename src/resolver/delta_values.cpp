#include "resolver/delta_values.h"

#include <cstdio>
#include <span>

#include "datapacket/packet_values.h"
#include "datapacket/row_codec.h"
#include "datapacket/type_word.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/error_codes.h"

namespace tavrin {

namespace {

namespace P = TPacketType;
using FT = TFieldType;

enum class TValueGroup { Number, Boolean, Text, Bytes, Calendar, None };

// Blobs and memos travel with a 4-byte length prefix.
constexpr std::uint32_t kBlobPrefixWidth = 4;

TValueGroup GroupOfField(FT Type) {
  switch (Type) {
    case FT::ftSmallint: case FT::ftInteger: case FT::ftWord: case FT::ftFloat: case FT::ftCurrency:
    case FT::ftBCD: case FT::ftAutoInc: case FT::ftLargeint: case FT::ftFMTBcd: case FT::ftLongWord:
    case FT::ftShortint: case FT::ftByte: case FT::ftExtended: case FT::ftSingle:
      return TValueGroup::Number;
    case FT::ftBoolean:
      return TValueGroup::Boolean;
    case FT::ftString: case FT::ftMemo: case FT::ftFmtMemo: case FT::ftFixedChar: case FT::ftWideString:
    case FT::ftGuid: case FT::ftFixedWideChar: case FT::ftWideMemo: case FT::ftOraClob:
      return TValueGroup::Text;
    case FT::ftBytes: case FT::ftVarBytes: case FT::ftBlob: case FT::ftGraphic: case FT::ftParadoxOle:
    case FT::ftDBaseOle: case FT::ftTypedBinary: case FT::ftOraBlob:
      return TValueGroup::Bytes;
    case FT::ftDate: case FT::ftTime: case FT::ftDateTime: case FT::ftTimeStamp: case FT::ftTimeStampOffset:
      return TValueGroup::Calendar;
    default:
      return TValueGroup::None;
  }
}

[[noreturn]] void RaiseUnreadable(const TPacketColumn& Column) {
  throw TDBXError(TDBXErrorCodes::InvalidInput,
                  "The value of column '" + Column.FieldName() + "' does not read as the column's type");
}

template <typename T>
T Checked(const std::optional<T>& Value, const TPacketColumn& Column) {
  if (!Value) RaiseUnreadable(Column);
  return *Value;
}

std::string CalendarText(std::uint32_t Base, const TSQLTimeStamp& Stamp) {
  char Text[48];
  const unsigned Millis = Stamp.Fractions;
  if (Base == P::Date) {
    std::snprintf(Text, sizeof Text, "%04d-%02u-%02u", Stamp.Year, unsigned{Stamp.Month}, unsigned{Stamp.Day});
  } else if (Base == P::Time) {
    std::snprintf(Text, sizeof Text, Millis ? "%02u:%02u:%02u.%03u" : "%02u:%02u:%02u", unsigned{Stamp.Hour},
                  unsigned{Stamp.Minute}, unsigned{Stamp.Second}, Millis);
  } else {
    std::snprintf(Text, sizeof Text, Millis ? "%04d-%02u-%02u %02u:%02u:%02u.%03u" : "%04d-%02u-%02u %02u:%02u:%02u",
                  Stamp.Year, unsigned{Stamp.Month}, unsigned{Stamp.Day}, unsigned{Stamp.Hour},
                  unsigned{Stamp.Minute}, unsigned{Stamp.Second}, Millis);
  }
  return Text;
}

// "YYYY-MM-DD", "HH:MM:SS[.fff]" or both with a blank or "T" between; nullopt otherwise.
std::optional<TSQLTimeStamp> ParseCalendar(const std::string& Text) {
  TSQLTimeStamp Stamp;
  int Year = 0;
  unsigned Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millis = 0;
  char Separator = 0;
  int Used = 0;
  if (std::sscanf(Text.c_str(), "%d-%u-%u%n", &Year, &Month, &Day, &Used) == 3) {
    Stamp.Year = static_cast<std::int16_t>(Year);
    Stamp.Month = static_cast<std::uint16_t>(Month);
    Stamp.Day = static_cast<std::uint16_t>(Day);
    if (static_cast<std::size_t>(Used) == Text.size()) return Stamp;
    Separator = Text[static_cast<std::size_t>(Used)];
    if (Separator != ' ' && Separator != 'T') return std::nullopt;
    ++Used;
  }
  const int Read = std::sscanf(Text.c_str() + Used, "%u:%u:%u.%u", &Hour, &Minute, &Second, &Millis);
  if (Read < 2) return std::nullopt;
  Stamp.Hour = static_cast<std::uint16_t>(Hour);
  Stamp.Minute = static_cast<std::uint16_t>(Minute);
  Stamp.Second = static_cast<std::uint16_t>(Second);
  Stamp.Fractions = Millis;
  return Stamp;
}

[[noreturn]] void RaiseMisfit(const std::string& What) {
  throw TDBXError(TDBXErrorCodes::InvalidInput, "A value read from the database does not fit its column: " + What);
}

std::vector<std::uint8_t> Of(std::span<const std::uint8_t> Bytes) { return {Bytes.begin(), Bytes.end()}; }

}  // namespace

bool ColumnFitsField(std::uint32_t BaseType, TFieldType Type) {
  switch (GroupOfField(Type)) {
    case TValueGroup::Number:
      return BaseType == P::Integer || BaseType == P::Unsigned || BaseType == P::Float || BaseType == P::Single ||
             BaseType == P::Bcd || BaseType == P::FmtBcd;
    case TValueGroup::Boolean:
      return BaseType == P::Boolean || BaseType == P::Integer || BaseType == P::Unsigned;
    case TValueGroup::Text:
      return BaseType == P::Text || BaseType == P::WideText || BaseType == P::Bytes;
    case TValueGroup::Bytes:
      return BaseType == P::Bytes;
    case TValueGroup::Calendar:
      return BaseType == P::Date || BaseType == P::Time || BaseType == P::DateTime || BaseType == P::TimeStamp;
    case TValueGroup::None:
      return false;
  }
  return false;
}

TFieldValue BoundValue(const TPacketColumn& Column, const TPacketValue& Value, TFieldType Type) {
  if (Value.State != TValueState::Value) return std::monostate{};
  const std::uint32_t Word = Column.TypeWord;
  switch (Column.BaseType()) {
    case P::Integer:
    case P::Unsigned:
      return Checked(ReadInteger(Word, Value.Data), Column);
    case P::Boolean:
      return std::int64_t{Checked(ReadBoolean(Word, Value.Data), Column) ? 1 : 0};
    case P::Float:
    case P::Single:
      return Checked(ReadFloat(Word, Value.Data), Column);
    case P::Bcd:
    case P::FmtBcd:
      return Checked(ReadBcd(Word, Value.Data), Column);
    case P::Date:
    case P::Time:
    case P::DateTime:
    case P::TimeStamp:
      return CalendarText(Column.BaseType(), Checked(ReadCalendar(Word, Value.Data), Column));
    case P::Text:
    case P::WideText:
      return Checked(ReadText(Word, Value.Data), Column);
    case P::Bytes:
      if (Type == FT::ftWideMemo) {
        return Checked(ReadText(MakeTypeWord(P::WideText, kBlobPrefixWidth, TTypeWord::Varying), Value.Data), Column);
      }
      if (GroupOfField(Type) == TValueGroup::Text) return std::string(Value.Data.begin(), Value.Data.end());
      return TFieldBytes(Value.Data.begin(), Value.Data.end());
    default:
      RaiseUnreadable(Column);
  }
}

std::optional<std::vector<std::uint8_t>> ColumnBytes(std::uint32_t TypeWord, const TFieldValue& Value, TFieldType Type) {
  if (std::holds_alternative<std::monostate>(Value)) return std::nullopt;
  const auto* Whole = std::get_if<std::int64_t>(&Value);
  const auto* Number = std::get_if<double>(&Value);
  const auto* Text = std::get_if<std::string>(&Value);
  const auto* Bytes = std::get_if<TFieldBytes>(&Value);
  const std::uint32_t Base = BaseTypeOf(TypeWord);
  const std::uint32_t Size = SizeOf(TypeWord);
  switch (Base) {
    case P::Integer:
    case P::Unsigned:
      if (Whole) return Of(IntegerValue(*Whole, Size).Bytes());
      if (Number) return Of(IntegerValue(static_cast<std::int64_t>(*Number), Size).Bytes());
      RaiseMisfit("a whole number was expected");
    case P::Boolean:
      if (Whole) return Of(BooleanValue(*Whole != 0).Bytes());
      RaiseMisfit("a boolean was expected");
    case P::Float:
    case P::Single: {
      double X = 0;
      if (Whole) {
        X = static_cast<double>(*Whole);
      } else if (Number) {
        X = *Number;
      } else {
        RaiseMisfit("a number was expected");
      }
      return Of(Size == 4 || Base == P::Single ? SingleValue(static_cast<float>(X)).Bytes() : FloatValue(X).Bytes());
    }
    case P::Bcd:
    case P::FmtBcd: {
      std::string Decimal;
      if (Whole) {
        Decimal = std::to_string(*Whole);
      } else if (Text) {
        Decimal = *Text;
      } else if (Number) {
        char Buffer[64];
        std::snprintf(Buffer, sizeof Buffer, "%.17g", *Number);
        Decimal = Buffer;
      }
      if (const auto Fixed = BcdValue(Decimal, Size)) return Of(Fixed->Bytes());
      RaiseMisfit("a decimal was expected");
    }
    case P::Date:
    case P::Time:
    case P::DateTime:
    case P::TimeStamp: {
      const auto Stamp = Text ? ParseCalendar(*Text) : std::nullopt;
      if (!Stamp) RaiseMisfit("a date or time was expected");
      if (Base == P::Date) return Of(DateValue(Stamp->Year, Stamp->Month, Stamp->Day).Bytes());
      if (Base == P::Time) return Of(TimeValue(Stamp->Hour, Stamp->Minute, Stamp->Second, static_cast<int>(Stamp->Fractions)).Bytes());
      if (Base == P::DateTime) return Of(DateTimeValue(*Stamp).Bytes());
      return Of(TimeStampValue(*Stamp).Bytes());
    }
    case P::Text:
      if (Text) return std::vector<std::uint8_t>(Text->begin(), Text->end());
      if (Bytes) return *Bytes;
      RaiseMisfit("text was expected");
    case P::WideText:
      if (Text) return WideTextValue(*Text);
      RaiseMisfit("text was expected");
    case P::Bytes:
      if (Text && Type == FT::ftWideMemo) return WideTextValue(*Text);
      if (Bytes) return *Bytes;
      if (Text) return std::vector<std::uint8_t>(Text->begin(), Text->end());
      RaiseMisfit("bytes were expected");
    default:
      RaiseMisfit("the column's type is not one of plain values");
  }
}

}  // namespace tavrin
