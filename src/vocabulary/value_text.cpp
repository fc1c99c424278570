#include "vocabulary/value_text.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include "vocabulary/data_types.h"
#include "vocabulary/json_text.h"
#include "vocabulary/sql_timestamp.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

// Why an argument text was refused; each follows the quoted text.
constexpr std::string_view kNotWholeNumber = "is not a whole number";
constexpr std::string_view kOutOfRange = "is out of range";
constexpr std::string_view kNotBoolean = "is neither true nor false";
constexpr std::string_view kNotNumber = "is not a number";
constexpr std::string_view kNotSingle = "is not a number a single-precision value can hold";
constexpr std::string_view kNotDecimal = "is not a decimal number ([-]digits[.digits])";
constexpr std::string_view kNotDate = "is not a date (YYYY-MM-DD)";
constexpr std::string_view kNotTime = "is not a time of day (HH:MM[:SS[.mmm]])";
constexpr std::string_view kNotTimeStamp = "is not a timestamp (YYYY-MM-DD HH:MM[:SS[.mmm]])";
constexpr std::string_view kNotTimeStampOffset =
    "is not a timestamp with its offset (YYYY-MM-DD HH:MM[:SS[.mmm]]+HH:MM)";
constexpr std::string_view kNotJson = "is not JSON text";
constexpr std::string_view kNotHex = "is not bytes in hexadecimal (two digits a byte)";
constexpr std::string_view kNoTextForm = "values of data type %s cannot be given as text";
constexpr std::string_view kNoPrintedForm = "no text form for a value of data type ";

constexpr std::string_view kTrue = "true";
constexpr std::string_view kFalse = "false";
constexpr char kHexDigits[] = "0123456789abcdef";
// Bytes read from a stream value at a time while printing it.
constexpr std::size_t kStreamChunk = 4096;

// Calendar bounds of the text forms.
constexpr int kYearDigits = 4;
constexpr int kFieldDigits = 2;         // month, day, hour, minute, second
constexpr int kMaxFractionDigits = 3;   // milliseconds
constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;
constexpr int kMonthsPerYear = 12;
constexpr int kHoursPerDay = 24;
constexpr int kMinutesPerHour = 60;
constexpr int kSecondsPerMinute = 60;
constexpr int kMillisPerSecond = 1000;
constexpr int kMaxOffsetHours = 14;
constexpr std::array<int, kMonthsPerYear> kDaysInMonth{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

constexpr char kDateSeparator = '-';
constexpr char kTimeSeparator = ':';
constexpr char kFractionSeparator = '.';
constexpr char kDateTimeBlank = ' ';
constexpr char kDateTimeLetter = 'T';
constexpr char kMinus = '-';
constexpr char kPlus = '+';

[[noreturn]] void Refuse(const TDBXValueType& Type, std::string_view Text, std::string_view Reason) {
  throw EValueTextRefused("parameter " + Type.Name() + ": \"" + std::string(Text) + "\" " + std::string(Reason));
}

[[noreturn]] void RefuseType(const TDBXValueType& Type) {
  std::string Reason(kNoTextForm);
  Reason.replace(Reason.find("%s"), 2, std::to_string(Type.DataType()));
  throw EValueTextRefused("parameter " + Type.Name() + ": " + Reason);
}

// The whole of Text as a number of type T; nothing when it is not one, or when it is out
// of T's range (OutOfRange then says so).
template <typename T>
std::optional<T> NumberOf(std::string_view Text, bool& OutOfRange) {
  T Value{};
  const char* End = Text.data() + Text.size();
  const auto [Stop, Error] = std::from_chars(Text.data(), End, Value);
  OutOfRange = Error == std::errc::result_out_of_range && Stop == End;
  if (Error != std::errc() || Stop != End) return std::nullopt;
  return Value;
}

// Text as an integer of type T (8 to 64 bits, either sign).
template <typename T>
T ParseInteger(const TDBXValueType& Type, std::string_view Text) {
  using TWide = std::conditional_t<std::is_signed_v<T>, std::int64_t, std::uint64_t>;
  bool OutOfRange = false;
  // A minus sign on an unsigned width is a number out of range, not a non-number.
  const bool Negative = !std::is_signed_v<T> && Text.size() > 1 && Text.front() == kMinus;
  const auto Wide = NumberOf<TWide>(Negative ? Text.substr(1) : Text, OutOfRange);
  const std::string Range = " (" + std::to_string(std::numeric_limits<T>::min()) + " to " +
                            std::to_string(std::numeric_limits<T>::max()) + ")";
  if (Wide && Negative && *Wide != 0) Refuse(Type, Text, std::string(kOutOfRange) + Range);
  if (!Wide) Refuse(Type, Text, OutOfRange ? std::string(kOutOfRange) + Range : std::string(kNotWholeNumber));
  if (*Wide < static_cast<TWide>(std::numeric_limits<T>::min()) ||
      *Wide > static_cast<TWide>(std::numeric_limits<T>::max())) {
    Refuse(Type, Text, std::string(kOutOfRange) + Range);
  }
  return static_cast<T>(*Wide);
}

bool EqualsIgnoringCase(std::string_view Text, std::string_view Word) {
  return UpperAscii(Text) == UpperAscii(Word);
}

// A decimal in plain notation: an optional minus, digits, optionally a point and digits.
bool IsDecimalText(std::string_view Text) {
  if (!Text.empty() && Text.front() == kMinus) Text.remove_prefix(1);
  const auto IsDigit = [](char C) { return C >= '0' && C <= '9'; };
  std::size_t i = 0;
  while (i < Text.size() && IsDigit(Text[i])) ++i;
  if (i == 0) return false;
  if (i == Text.size()) return true;
  if (Text[i] != kFractionSeparator || i + 1 == Text.size()) return false;
  for (++i; i < Text.size(); ++i) {
    if (!IsDigit(Text[i])) return false;
  }
  return true;
}

// Reads exactly Count digits off the front of Text.
bool TakeDigits(std::string_view& Text, int Count, int& Value) {
  if (Text.size() < static_cast<std::size_t>(Count)) return false;
  Value = 0;
  for (int i = 0; i < Count; ++i) {
    const char C = Text[static_cast<std::size_t>(i)];
    if (C < '0' || C > '9') return false;
    Value = Value * 10 + (C - '0');
  }
  Text.remove_prefix(static_cast<std::size_t>(Count));
  return true;
}

bool TakeChar(std::string_view& Text, char Expected) {
  if (Text.empty() || Text.front() != Expected) return false;
  Text.remove_prefix(1);
  return true;
}

// A hexadecimal digit's value, or -1.
int HexDigitValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// Text as bytes written two hexadecimal digits each; nothing when it is not.
std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view Text) {
  if (Text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> Bytes;
  Bytes.reserve(Text.size() / 2);
  for (std::size_t i = 0; i < Text.size(); i += 2) {
    const int High = HexDigitValue(Text[i]);
    const int Low = HexDigitValue(Text[i + 1]);
    if (High < 0 || Low < 0) return std::nullopt;
    Bytes.push_back(static_cast<std::uint8_t>(High * 16 + Low));
  }
  return Bytes;
}

bool IsLeapYear(int Year) { return (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0; }

struct TDateParts {
  int Year = 0, Month = 0, Day = 0;
};
struct TTimeParts {
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// YYYY-MM-DD off the front of Text, a real calendar day.
bool TakeDate(std::string_view& Text, TDateParts& Date) {
  if (!TakeDigits(Text, kYearDigits, Date.Year) || !TakeChar(Text, kDateSeparator) ||
      !TakeDigits(Text, kFieldDigits, Date.Month) || !TakeChar(Text, kDateSeparator) ||
      !TakeDigits(Text, kFieldDigits, Date.Day)) {
    return false;
  }
  if (Date.Year < kMinYear || Date.Year > kMaxYear || Date.Month < 1 || Date.Month > kMonthsPerYear) return false;
  const int Days = Date.Month == 2 && !IsLeapYear(Date.Year) ? 28 : kDaysInMonth[static_cast<std::size_t>(Date.Month - 1)];
  return Date.Day >= 1 && Date.Day <= Days;
}

// HH:MM[:SS[.m[m[m]]]] off the front of Text.
bool TakeTime(std::string_view& Text, TTimeParts& Time) {
  if (!TakeDigits(Text, kFieldDigits, Time.Hour) || !TakeChar(Text, kTimeSeparator) ||
      !TakeDigits(Text, kFieldDigits, Time.Minute)) {
    return false;
  }
  if (TakeChar(Text, kTimeSeparator)) {
    if (!TakeDigits(Text, kFieldDigits, Time.Second)) return false;
    if (TakeChar(Text, kFractionSeparator)) {
      int Digits = 0;
      int Scale = kMillisPerSecond;
      while (!Text.empty() && Text.front() >= '0' && Text.front() <= '9' && Digits < kMaxFractionDigits) {
        Scale /= 10;
        Time.Millisecond += (Text.front() - '0') * Scale;
        Text.remove_prefix(1);
        ++Digits;
      }
      if (Digits == 0) return false;
    }
  }
  return Time.Hour < kHoursPerDay && Time.Minute < kMinutesPerHour && Time.Second < kSecondsPerMinute;
}

TSQLTimeStamp TimeStampOf(const TDateParts& Date, const TTimeParts& Time) {
  TSQLTimeStamp Stamp;
  Stamp.Year = static_cast<std::int16_t>(Date.Year);
  Stamp.Month = static_cast<std::uint16_t>(Date.Month);
  Stamp.Day = static_cast<std::uint16_t>(Date.Day);
  Stamp.Hour = static_cast<std::uint16_t>(Time.Hour);
  Stamp.Minute = static_cast<std::uint16_t>(Time.Minute);
  Stamp.Second = static_cast<std::uint16_t>(Time.Second);
  Stamp.Fractions = static_cast<std::uint32_t>(Time.Millisecond);
  return Stamp;
}

// A timestamp off the front of Text: a date, a blank or "T", a time of day.
bool TakeTimeStamp(std::string_view& Text, TSQLTimeStamp& Stamp) {
  TDateParts Date;
  TTimeParts Time;
  if (!TakeDate(Text, Date) || !(TakeChar(Text, kDateTimeBlank) || TakeChar(Text, kDateTimeLetter)) ||
      !TakeTime(Text, Time)) {
    return false;
  }
  Stamp = TimeStampOf(Date, Time);
  return true;
}

// +HH:MM or -HH:MM off the front of Text, within -14:59 to +14:59. The minutes carry the
// sign only when the hours are 0, as the holder keeps it.
bool TakeOffset(std::string_view& Text, TSQLTimeStampOffset& Value) {
  const bool Negative = TakeChar(Text, kMinus);
  if (!Negative && !TakeChar(Text, kPlus)) return false;
  int Hours = 0, Minutes = 0;
  if (!TakeDigits(Text, kFieldDigits, Hours) || !TakeChar(Text, kTimeSeparator) ||
      !TakeDigits(Text, kFieldDigits, Minutes)) {
    return false;
  }
  if (Hours > kMaxOffsetHours || Minutes >= kMinutesPerHour) return false;
  Value.OffsetHours = static_cast<std::int16_t>(Negative ? -Hours : Hours);
  Value.OffsetMinutes = static_cast<std::int16_t>(Negative && Hours == 0 ? -Minutes : Minutes);
  return true;
}

// --- Printing -------------------------------------------------------------------------

// Value in decimal with at least Width digits (a minus sign in front of them).
std::string Padded(long long Value, int Width) {
  std::string Digits = std::to_string(Value < 0 ? -Value : Value);
  if (Digits.size() < static_cast<std::size_t>(Width)) {
    Digits.insert(0, static_cast<std::size_t>(Width) - Digits.size(), '0');
  }
  return Value < 0 ? kMinus + Digits : Digits;
}

std::string DateText(long long Year, long long Month, long long Day) {
  return Padded(Year, kYearDigits) + kDateSeparator + Padded(Month, kFieldDigits) + kDateSeparator +
         Padded(Day, kFieldDigits);
}

std::string TimeText(long long Hour, long long Minute, long long Second, long long Millis) {
  std::string Text = Padded(Hour, kFieldDigits) + kTimeSeparator + Padded(Minute, kFieldDigits) +
                     kTimeSeparator + Padded(Second, kFieldDigits);
  if (Millis != 0) Text += kFractionSeparator + Padded(Millis, kMaxFractionDigits);
  return Text;
}

std::string TimeStampText(const TSQLTimeStamp& Stamp) {
  return DateText(Stamp.Year, Stamp.Month, Stamp.Day) + kDateTimeBlank +
         TimeText(Stamp.Hour, Stamp.Minute, Stamp.Second, Stamp.Fractions);
}

// The shortest text that reads back as the same value.
template <typename T>
std::string ShortestText(T Value) {
  std::array<char, 64> Buffer{};
  const auto Result = std::to_chars(Buffer.data(), Buffer.data() + Buffer.size(), Value);
  return std::string(Buffer.data(), Result.ptr);
}

std::string HexText(TStream& Stream) {
  std::string Text;
  std::vector<std::uint8_t> Chunk(kStreamChunk);
  for (;;) {
    const std::int64_t Count = Stream.Read(Chunk);
    if (Count <= 0) break;
    for (std::int64_t i = 0; i < Count; ++i) {
      const std::uint8_t Byte = Chunk[static_cast<std::size_t>(i)];
      Text += kHexDigits[Byte >> 4];
      Text += kHexDigits[Byte & 0x0F];
    }
  }
  return Text;
}

}  // namespace

void SetValueFromText(const TDBXValueType& Type, TDBXWritableValue& Value, std::string_view Text) {
  if (auto* Wide = HolderAs<TDBXWideStringValue>(Value)) {
    Wide->SetWideString(ToUtf16(Text));
  } else if (auto* Ansi = HolderAs<TDBXAnsiStringValue>(Value)) {
    Ansi->SetAnsiString(std::string(Text));
  } else if (auto* Bool = HolderAs<TDBXBooleanValue>(Value)) {
    if (EqualsIgnoringCase(Text, kTrue)) {
      Bool->SetBoolean(true);
    } else if (EqualsIgnoringCase(Text, kFalse)) {
      Bool->SetBoolean(false);
    } else {
      Refuse(Type, Text, kNotBoolean);
    }
  } else if (auto* I8 = HolderAs<TDBXInt8Value>(Value)) {
    I8->SetInt8(ParseInteger<std::int8_t>(Type, Text));
  } else if (auto* I16 = HolderAs<TDBXInt16Value>(Value)) {
    I16->SetInt16(ParseInteger<std::int16_t>(Type, Text));
  } else if (auto* I32 = HolderAs<TDBXInt32Value>(Value)) {
    I32->SetInt32(ParseInteger<std::int32_t>(Type, Text));
  } else if (auto* I64 = HolderAs<TDBXInt64Value>(Value)) {
    I64->SetInt64(ParseInteger<std::int64_t>(Type, Text));
  } else if (auto* U8 = HolderAs<TDBXUInt8Value>(Value)) {
    U8->SetUInt8(ParseInteger<std::uint8_t>(Type, Text));
  } else if (auto* U16 = HolderAs<TDBXUInt16Value>(Value)) {
    U16->SetUInt16(ParseInteger<std::uint16_t>(Type, Text));
  } else if (auto* Dbl = HolderAs<TDBXDoubleValue>(Value)) {
    bool OutOfRange = false;
    if (Type.SubType() == TDBXSubDataTypes::SingleSubType) {
      const auto Number = NumberOf<float>(Text, OutOfRange);
      if (!Number) Refuse(Type, Text, OutOfRange ? kNotSingle : kNotNumber);
      Dbl->SetDouble(*Number);
    } else {
      const auto Number = NumberOf<double>(Text, OutOfRange);
      if (!Number) Refuse(Type, Text, OutOfRange ? kOutOfRange : kNotNumber);
      Dbl->SetDouble(*Number);
    }
  } else if (auto* Sgl = HolderAs<TDBXSingleValue>(Value)) {
    bool OutOfRange = false;
    const auto Number = NumberOf<float>(Text, OutOfRange);
    if (!Number) Refuse(Type, Text, OutOfRange ? kNotSingle : kNotNumber);
    Sgl->SetSingle(*Number);
  } else if (auto* Bcd = HolderAs<TDBXBcdValue>(Value)) {
    if (!IsDecimalText(Text)) Refuse(Type, Text, kNotDecimal);
    Bcd->SetBcd(std::string(Text));
  } else if (auto* Date = HolderAs<TDBXDateValue>(Value)) {
    std::string_view Rest = Text;
    TDateParts Parts;
    if (!TakeDate(Rest, Parts) || !Rest.empty()) Refuse(Type, Text, kNotDate);
    Date->SetDate(static_cast<std::int32_t>(EncodeDbxDate(Parts.Year, Parts.Month, Parts.Day)));
  } else if (auto* Time = HolderAs<TDBXTimeOfDayValue>(Value)) {
    std::string_view Rest = Text;
    TTimeParts Parts;
    if (!TakeTime(Rest, Parts) || !Rest.empty()) Refuse(Type, Text, kNotTime);
    Time->SetTime(static_cast<std::int32_t>(EncodeDbxTime(Parts.Hour, Parts.Minute, Parts.Second, Parts.Millisecond)));
  } else if (auto* Stamp = HolderAs<TDBXTimeStampValue>(Value)) {
    std::string_view Rest = Text;
    TSQLTimeStamp Parsed;
    if (!TakeTimeStamp(Rest, Parsed) || !Rest.empty()) Refuse(Type, Text, kNotTimeStamp);
    Stamp->SetTimeStamp(Parsed);
  } else if (auto* Offset = HolderAs<TDBXTimeStampOffsetValue>(Value)) {
    std::string_view Rest = Text;
    TSQLTimeStampOffset Parsed;
    if (!TakeTimeStamp(Rest, Parsed.TimeStamp) || !TakeOffset(Rest, Parsed) || !Rest.empty()) {
      Refuse(Type, Text, kNotTimeStampOffset);
    }
    Offset->SetTimeStampOffset(Parsed);
  } else if (auto* Json = HolderAs<TDBXJSONValue>(Value)) {
    TJSONValue Parsed;
    try {
      Parsed = ParseJsonText(Text);
    } catch (const TDBXError& Error) {
      Refuse(Type, Text, std::string(kNotJson) + ": " + Error.Message());
    }
    Json->SetJSONValue(std::move(Parsed));
  } else if (auto* Stream = HolderAs<TDBXStreamValue>(Value)) {
    auto Bytes = HexBytes(Text);
    if (!Bytes) Refuse(Type, Text, kNotHex);
    Stream->SetBytes(std::move(*Bytes));
  } else {
    RefuseType(Type);
  }
}

void SetValueFromText(const TDBXValueType& Type, TDBXWritableValue& Value, std::u16string_view Text) {
  if (auto* Wide = HolderAs<TDBXWideStringValue>(Value)) {
    Wide->SetWideString(std::u16string(Text));
  } else {
    SetValueFromText(Type, Value, ToUtf8(Text));
  }
}

void SetLiteralFromText(const TDBXValueType& Type, TDBXWritableValue& Value, std::u16string_view Text) {
  try {
    SetValueFromText(Type, Value, Text);
  } catch (const EValueTextRefused&) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, std::string(kInvalidLiteral) + Type.Name());
  }
}

std::unique_ptr<TDBXWritableValue> ValueFromText(const TDBXValueType& Type, std::string_view Text) {
  TDBXValueType Described = Type;
  std::unique_ptr<TDBXWritableValue> Holder;
  try {
    Holder = CreateValueHolder(Described);
  } catch (const TDBXError&) {
    RefuseType(Type);  // a code without a holder has no text form either
  }
  SetValueFromText(Type, *Holder, Text);
  return Holder;
}

std::string ValueText(const TDBXValueType& Type, const TDBXValue& Value) {
  if (Value.IsNull()) return std::string(kNullValueText);
  if (const auto* Wide = HolderAs<TDBXWideStringValue>(Value)) return ToUtf8(Wide->GetWideString());
  if (const auto* Ansi = HolderAs<TDBXAnsiStringValue>(Value)) return Ansi->GetAnsiString();
  if (const auto* Bool = HolderAs<TDBXBooleanValue>(Value)) return std::string(Bool->GetBoolean() ? kTrue : kFalse);
  if (const auto* I8 = HolderAs<TDBXInt8Value>(Value)) return std::to_string(I8->GetInt8());
  if (const auto* I16 = HolderAs<TDBXInt16Value>(Value)) return std::to_string(I16->GetInt16());
  if (const auto* I32 = HolderAs<TDBXInt32Value>(Value)) return std::to_string(I32->GetInt32());
  if (const auto* I64 = HolderAs<TDBXInt64Value>(Value)) return std::to_string(I64->GetInt64());
  if (const auto* U8 = HolderAs<TDBXUInt8Value>(Value)) return std::to_string(U8->GetUInt8());
  if (const auto* U16 = HolderAs<TDBXUInt16Value>(Value)) return std::to_string(U16->GetUInt16());
  if (const auto* Dbl = HolderAs<TDBXDoubleValue>(Value)) {
    // A double that travels as a single holds no more than a single's digits.
    if (Type.SubType() == TDBXSubDataTypes::SingleSubType) return ShortestText(static_cast<float>(Dbl->GetDouble()));
    return ShortestText(Dbl->GetDouble());
  }
  if (const auto* Sgl = HolderAs<TDBXSingleValue>(Value)) return ShortestText(Sgl->GetSingle());
  if (const auto* Bcd = HolderAs<TDBXBcdValue>(Value)) return Bcd->GetBcd();
  if (const auto* Date = HolderAs<TDBXDateValue>(Value)) {
    int Year = 0, Month = 0, Day = 0;
    DecodeDbxDate(Date->GetDate(), Year, Month, Day);
    return DateText(Year, Month, Day);
  }
  if (const auto* Time = HolderAs<TDBXTimeOfDayValue>(Value)) {
    const long long Millis = Time->GetTime();
    const long long Seconds = Millis / kMillisPerSecond;
    return TimeText(Seconds / (kSecondsPerMinute * kMinutesPerHour), Seconds / kSecondsPerMinute % kMinutesPerHour,
                    Seconds % kSecondsPerMinute, Millis % kMillisPerSecond);
  }
  if (const auto* Stamp = HolderAs<TDBXTimeStampValue>(Value)) return TimeStampText(Stamp->GetTimeStamp());
  if (const auto* Offset = HolderAs<TDBXTimeStampOffsetValue>(Value)) {
    const TSQLTimeStampOffset& V = Offset->GetTimeStampOffset();
    const long long Hours = V.OffsetHours, Minutes = V.OffsetMinutes;
    const bool Negative = Hours < 0 || Minutes < 0;  // the minutes carry the sign when the hours are 0
    return TimeStampText(V.TimeStamp) + (Negative ? kMinus : kPlus) + Padded(Hours < 0 ? -Hours : Hours, kFieldDigits) +
           kTimeSeparator + Padded(Minutes < 0 ? -Minutes : Minutes, kFieldDigits);
  }
  if (const auto* Json = HolderAs<TDBXJSONValue>(Value)) return Json->GetJSONValue().dump();
  if (const auto* Bytes = HolderAs<TDBXStreamValue>(Value)) {
    const std::shared_ptr<TStream> Stream = Bytes->GetStream();
    return Stream ? HexText(*Stream) : std::string(kNullValueText);
  }
  throw TDBXError(TDBXErrorCodes::UnexpectedDataType, std::string(kNoPrintedForm) + std::to_string(Type.DataType()));
}

}  // namespace tavrin
