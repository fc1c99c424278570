#include "datapacket/packet_values.h"

#include <charconv>
#include <chrono>
#include <cstring>

#include "datapacket/packet_layout.h"
#include "datapacket/type_word.h"
#include "datapacket/utf8_scan.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

namespace T = TPacketType;
namespace chr = std::chrono;

constexpr std::int64_t kMillisPerDay = 86'400'000;
// The days of 0001-01-01 and 9999-12-31 counted from 1970-01-01.
constexpr std::int64_t kFirstDay = -719'162;
constexpr std::int64_t kLastDay = 2'932'896;
constexpr std::uint32_t kBcdSignBit = 0x80;
constexpr std::uint32_t kBcdPlacesMask = 0x3F;
constexpr std::uint32_t kBcdMaxDigits = 64;

std::int64_t DaysOf(int Year, int Month, int Day) {
  const chr::year_month_day Date{chr::year{Year}, chr::month{static_cast<unsigned>(Month)},
                                 chr::day{static_cast<unsigned>(Day)}};
  return chr::sys_days{Date}.time_since_epoch().count();
}

bool SetDate(TSQLTimeStamp& Out, std::int64_t Days) {
  if (Days < kFirstDay || Days > kLastDay) return false;
  const chr::year_month_day Date{chr::sys_days{chr::days{Days}}};
  Out.Year = static_cast<std::int16_t>(static_cast<int>(Date.year()));
  Out.Month = static_cast<std::uint16_t>(static_cast<unsigned>(Date.month()));
  Out.Day = static_cast<std::uint16_t>(static_cast<unsigned>(Date.day()));
  return true;
}

void SetTime(TSQLTimeStamp& Out, std::int64_t Millis) {
  Out.Hour = static_cast<std::uint16_t>(Millis / 3'600'000);
  Out.Minute = static_cast<std::uint16_t>(Millis / 60'000 % 60);
  Out.Second = static_cast<std::uint16_t>(Millis / 1000 % 60);
  Out.Fractions = static_cast<std::uint32_t>(Millis % 1000);
}

bool IsValid(const TSQLTimeStamp& t) {
  if (t.Year < 1 || t.Year > 9999) return false;
  const chr::year_month_day Date{chr::year{t.Year}, chr::month{t.Month}, chr::day{t.Day}};
  return Date.ok() && t.Hour < 24 && t.Minute < 60 && t.Second < 60 && t.Fractions < 1000;
}

std::int64_t MillisOfDay(const TSQLTimeStamp& t) {
  return ((std::int64_t{t.Hour} * 60 + t.Minute) * 60 + t.Second) * 1000 + t.Fractions;
}

void StoreTimeStamp(std::uint8_t* Out, const TSQLTimeStamp& t) {
  StoreLE(Out, static_cast<std::uint16_t>(t.Year), 2);
  StoreLE(Out + 2, t.Month, 2);
  StoreLE(Out + 4, t.Day, 2);
  StoreLE(Out + 6, t.Hour, 2);
  StoreLE(Out + 8, t.Minute, 2);
  StoreLE(Out + 10, t.Second, 2);
  StoreLE(Out + 12, t.Fractions, 4);
}

TSQLTimeStamp LoadTimeStamp(const std::uint8_t* In) {
  TSQLTimeStamp t;
  t.Year = static_cast<std::int16_t>(LoadLE(In, 2));
  t.Month = static_cast<std::uint16_t>(LoadLE(In + 2, 2));
  t.Day = static_cast<std::uint16_t>(LoadLE(In + 4, 2));
  t.Hour = static_cast<std::uint16_t>(LoadLE(In + 6, 2));
  t.Minute = static_cast<std::uint16_t>(LoadLE(In + 8, 2));
  t.Second = static_cast<std::uint16_t>(LoadLE(In + 10, 2));
  t.Fractions = static_cast<std::uint32_t>(LoadLE(In + 12, 4));
  return t;
}

bool IsFixed(std::uint32_t TypeWord, std::uint32_t Base, std::size_t Size) {
  return BaseTypeOf(TypeWord) == Base &&
         (TypeWord & (TTypeWord::Varying | TTypeWord::Composite | TTypeWord::ArrayValue)) == 0 &&
         SizeOf(TypeWord) == Size;
}

void AppendPadded(std::string& Out, unsigned Value, int Width) {
  char Digits[12];
  const auto End = std::to_chars(Digits, Digits + sizeof Digits, Value).ptr;
  for (auto n = End - Digits; n < Width; ++n) Out += '0';
  Out.append(Digits, End);
}

std::string CalendarText(std::uint32_t Base, const TSQLTimeStamp& t) {
  std::string Text;
  if (Base != T::Time) {
    AppendPadded(Text, static_cast<unsigned>(t.Year), 4);
    Text += '-';
    AppendPadded(Text, t.Month, 2);
    Text += '-';
    AppendPadded(Text, t.Day, 2);
    if (Base == T::Date) return Text;
    Text += 'T';
  }
  AppendPadded(Text, t.Hour, 2);
  Text += ':';
  AppendPadded(Text, t.Minute, 2);
  Text += ':';
  AppendPadded(Text, t.Second, 2);
  if (t.Fractions != 0) {
    Text += '.';
    AppendPadded(Text, t.Fractions, 3);
  }
  return Text;
}

template <typename Number>
std::string NumberText(Number Value) {
  char Digits[64];
  const auto End = std::to_chars(Digits, Digits + sizeof Digits, Value).ptr;
  return std::string(Digits, End);
}

}  // namespace

TFixedValue IntegerValue(std::int64_t Value, std::uint32_t Size) {
  TFixedValue v;
  StoreLE(v.Mutable(Size), static_cast<std::uint64_t>(Value), Size);
  return v;
}

TFixedValue FloatValue(double Value) {
  std::uint64_t Bits = 0;
  std::memcpy(&Bits, &Value, 8);
  TFixedValue v;
  StoreLE(v.Mutable(8), Bits, 8);
  return v;
}

TFixedValue SingleValue(float Value) {
  std::uint32_t Bits = 0;
  std::memcpy(&Bits, &Value, 4);
  TFixedValue v;
  StoreLE(v.Mutable(4), Bits, 4);
  return v;
}

TFixedValue BooleanValue(bool Value) {
  TFixedValue v;
  StoreLE(v.Mutable(2), Value ? 0xFFFF : 0, 2);
  return v;
}

TFixedValue DateValue(int Year, int Month, int Day) {
  TFixedValue v;
  StoreLE(v.Mutable(4), static_cast<std::uint64_t>(DaysOf(Year, Month, Day)), 4);
  return v;
}

TFixedValue TimeValue(int Hour, int Minute, int Second, int Millisecond) {
  TFixedValue v;
  const auto Millis = ((std::int64_t{Hour} * 60 + Minute) * 60 + Second) * 1000 + Millisecond;
  StoreLE(v.Mutable(4), static_cast<std::uint64_t>(Millis), 4);
  return v;
}

TFixedValue DateTimeValue(const TSQLTimeStamp& Value) {
  TFixedValue v;
  const std::int64_t Millis = DaysOf(Value.Year, Value.Month, Value.Day) * kMillisPerDay + MillisOfDay(Value);
  StoreLE(v.Mutable(8), static_cast<std::uint64_t>(Millis), 8);
  return v;
}

TFixedValue TimeStampValue(const TSQLTimeStamp& Value) {
  TFixedValue v;
  StoreTimeStamp(v.Mutable(16), Value);
  return v;
}

TFixedValue TimeStampOffsetValue(const TSQLTimeStamp& Value, int OffsetHours, int OffsetMinutes) {
  TFixedValue v;
  std::uint8_t* Out = v.Mutable(20);
  StoreTimeStamp(Out, Value);
  StoreLE(Out + 16, static_cast<std::uint16_t>(OffsetHours), 2);
  StoreLE(Out + 18, static_cast<std::uint16_t>(OffsetMinutes), 2);
  return v;
}

std::optional<TFixedValue> BcdValue(std::string_view Decimal, std::uint32_t Size) {
  bool Negative = false;
  if (!Decimal.empty() && (Decimal.front() == '-' || Decimal.front() == '+')) {
    Negative = Decimal.front() == '-';
    Decimal.remove_prefix(1);
  }
  const auto Point = Decimal.find('.');
  std::string_view Whole = Decimal.substr(0, Point);
  const std::string_view Fraction = Point == std::string_view::npos ? std::string_view{} : Decimal.substr(Point + 1);
  if (Whole.empty() && Fraction.empty()) return std::nullopt;
  for (const std::string_view Part : {Whole, Fraction})
    for (const char c : Part)
      if (c < '0' || c > '9') return std::nullopt;
  while (Whole.size() > 1 && Whole.front() == '0') Whole.remove_prefix(1);
  if (Whole.empty()) Whole = "0";
  const std::string Digits = std::string(Whole) + std::string(Fraction);
  const auto Precision = static_cast<std::uint32_t>(Digits.size());
  if (Precision > kBcdMaxDigits || Fraction.size() > kBcdPlacesMask || Size > 34 || (Precision + 1) / 2 + 2 > Size)
    return std::nullopt;
  TFixedValue v;
  std::uint8_t* Out = v.Mutable(Size);
  Out[0] = static_cast<std::uint8_t>(Precision);
  Out[1] = static_cast<std::uint8_t>((Negative ? kBcdSignBit : 0) | Fraction.size());
  for (std::uint32_t i = 0; i < Precision; ++i) {
    const auto Digit = static_cast<std::uint8_t>(Digits[i] - '0');
    Out[2 + i / 2] = static_cast<std::uint8_t>(Out[2 + i / 2] | (i % 2 == 0 ? Digit << 4 : Digit));
  }
  return v;
}

std::vector<std::uint8_t> WideTextValue(std::string_view Utf8) {
  std::vector<std::uint8_t> Bytes;
  AppendUtf16LE(Utf8, Bytes);
  return Bytes;
}

std::optional<std::int64_t> ReadInteger(std::uint32_t TypeWord, std::span<const std::uint8_t> Data) {
  const std::uint32_t Base = BaseTypeOf(TypeWord);
  if ((Base != T::Integer && Base != T::Unsigned) || !IsFixed(TypeWord, Base, Data.size())) return std::nullopt;
  const std::uint64_t Raw = LoadLE(Data.data(), Data.size());
  if (Base == T::Integer) return SignExtend(Raw, Data.size());
  if (Raw > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
  return static_cast<std::int64_t>(Raw);
}

std::optional<double> ReadFloat(std::uint32_t TypeWord, std::span<const std::uint8_t> Data) {
  if (IsFixed(TypeWord, T::Float, 8) && Data.size() == 8) {
    const std::uint64_t Bits = LoadLE(Data.data(), 8);
    double d = 0;
    std::memcpy(&d, &Bits, 8);
    return d;
  }
  if ((IsFixed(TypeWord, T::Float, 4) || IsFixed(TypeWord, T::Single, 4)) && Data.size() == 4) {
    const auto Bits = static_cast<std::uint32_t>(LoadLE(Data.data(), 4));
    float f = 0;
    std::memcpy(&f, &Bits, 4);
    return f;
  }
  return std::nullopt;
}

std::optional<bool> ReadBoolean(std::uint32_t TypeWord, std::span<const std::uint8_t> Data) {
  if (!IsFixed(TypeWord, T::Boolean, Data.size()) || Data.empty() || Data.size() > 2) return std::nullopt;
  return LoadLE(Data.data(), Data.size()) != 0;
}

std::optional<TSQLTimeStamp> ReadCalendar(std::uint32_t TypeWord, std::span<const std::uint8_t> Data) {
  TSQLTimeStamp t;
  if (IsFixed(TypeWord, T::Date, Data.size()) && Data.size() == 4) {
    if (!SetDate(t, SignExtend(LoadLE(Data.data(), 4), 4))) return std::nullopt;
    return t;
  }
  if (IsFixed(TypeWord, T::Time, Data.size()) && Data.size() == 4) {
    const std::uint64_t Millis = LoadLE(Data.data(), 4);
    if (Millis >= kMillisPerDay) return std::nullopt;
    SetTime(t, static_cast<std::int64_t>(Millis));
    return t;
  }
  if (IsFixed(TypeWord, T::DateTime, Data.size()) && Data.size() == 8) {
    const auto Millis = static_cast<std::int64_t>(LoadLE(Data.data(), 8));
    // Floor division, so instants before 1970 land on their own day.
    std::int64_t Days = Millis / kMillisPerDay;
    if (Millis % kMillisPerDay < 0) --Days;
    if (!SetDate(t, Days)) return std::nullopt;
    SetTime(t, Millis - Days * kMillisPerDay);
    return t;
  }
  if ((IsFixed(TypeWord, T::TimeStamp, Data.size()) && Data.size() == 16) ||
      (IsFixed(TypeWord, T::TimeStampOffset, Data.size()) && Data.size() == 20)) {
    t = LoadTimeStamp(Data.data());
    if (!IsValid(t)) return std::nullopt;
    return t;
  }
  return std::nullopt;
}

std::optional<std::string> ReadText(std::uint32_t TypeWord, std::span<const std::uint8_t> Data) {
  const std::uint32_t Base = BaseTypeOf(TypeWord);
  if ((TypeWord & (TTypeWord::Composite | TTypeWord::ArrayValue)) != 0) return std::nullopt;
  if (Base == T::Text) {
    std::string Text(Data.begin(), Data.end());
    if (!IsValidUtf8(Text)) return std::nullopt;
    return Text;
  }
  if (Base != T::WideText || Data.size() % 2 != 0) return std::nullopt;
  // Straight from the code units to UTF-8 (at most 3 bytes per unit); an unpaired
  // surrogate would come out as U+FFFD: refuse it instead of changing it.
  const std::size_t Units = Data.size() / 2;
  std::string Text(3 * Units, '\0');
  std::size_t At = 0;
  const auto Put = [&Text, &At](char32_t Byte) { Text[At++] = static_cast<char>(Byte); };
  for (std::size_t i = 0; i < Units; ++i) {
    // Four code units below 0x80 at a time: most of a product's text is plain ASCII.
    while (i + 4 <= Units) {
      const std::uint64_t Four = LoadLE(Data.data() + 2 * i, 8);
      if ((Four & 0xFF80FF80FF80FF80) != 0) break;
      Text[At] = static_cast<char>(Four);
      Text[At + 1] = static_cast<char>(Four >> 16);
      Text[At + 2] = static_cast<char>(Four >> 32);
      Text[At + 3] = static_cast<char>(Four >> 48);
      At += 4;
      i += 4;
    }
    if (i == Units) break;
    char32_t c = static_cast<char32_t>(LoadLE(Data.data() + 2 * i, 2));
    if (c >= 0xD800 && c <= 0xDFFF) {
      const char32_t Low = i + 1 < Units ? static_cast<char32_t>(LoadLE(Data.data() + 2 * i + 2, 2)) : 0;
      if (c > 0xDBFF || Low < 0xDC00 || Low > 0xDFFF) return std::nullopt;
      c = 0x10000 + ((c - 0xD800) << 10) + (Low - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      Put(c);
    } else if (c < 0x800) {
      Put(0xC0 | (c >> 6));
      Put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      Put(0xE0 | (c >> 12));
      Put(0x80 | ((c >> 6) & 0x3F));
      Put(0x80 | (c & 0x3F));
    } else {
      Put(0xF0 | (c >> 18));
      Put(0x80 | ((c >> 12) & 0x3F));
      Put(0x80 | ((c >> 6) & 0x3F));
      Put(0x80 | (c & 0x3F));
    }
  }
  Text.resize(At);
  return Text;
}

std::optional<std::string> ReadBcd(std::uint32_t TypeWord, std::span<const std::uint8_t> Data) {
  const std::uint32_t Base = BaseTypeOf(TypeWord);
  if ((Base != T::Bcd && Base != T::FmtBcd) || !IsFixed(TypeWord, Base, Data.size()) || Data.size() < 2)
    return std::nullopt;
  const std::uint32_t Precision = Data[0];
  const std::uint32_t Places = Data[1] & kBcdPlacesMask;
  if (Precision == 0 || Precision > kBcdMaxDigits || Places > Precision || (Data[1] & 0x40) != 0 ||
      (Precision + 1) / 2 + 2 > Data.size())
    return std::nullopt;
  std::string Digits;
  for (std::uint32_t i = 0; i < Precision; ++i) {
    const std::uint8_t Byte = Data[2 + i / 2];
    const auto Digit = static_cast<std::uint8_t>(i % 2 == 0 ? Byte >> 4 : Byte & 0x0F);
    if (Digit > 9) return std::nullopt;
    Digits += static_cast<char>('0' + Digit);
  }
  std::string Whole = Digits.substr(0, Precision - Places);
  while (Whole.size() > 1 && Whole.front() == '0') Whole.erase(0, 1);
  if (Whole.empty()) Whole = "0";
  std::string Text = (Data[1] & kBcdSignBit) != 0 && Digits.find_first_not_of('0') != std::string::npos ? "-" : "";
  Text += Whole;
  if (Places > 0) Text += "." + Digits.substr(Precision - Places);
  return Text;
}

std::optional<std::string> ValueText(std::uint32_t TypeWord, std::span<const std::uint8_t> Data) {
  switch (BaseTypeOf(TypeWord)) {
    case T::Integer:
      if (const auto v = ReadInteger(TypeWord, Data)) return NumberText(*v);
      return std::nullopt;
    case T::Unsigned:
      if (!IsFixed(TypeWord, T::Unsigned, Data.size()) || Data.empty() || Data.size() > 8) return std::nullopt;
      return NumberText(LoadLE(Data.data(), Data.size()));
    case T::Boolean:
      if (const auto v = ReadBoolean(TypeWord, Data)) return std::string(*v ? "true" : "false");
      return std::nullopt;
    case T::Float:
    case T::Single:
      if (Data.size() == 4) {
        if (const auto v = ReadFloat(TypeWord, Data)) return NumberText(static_cast<float>(*v));
      } else if (const auto v = ReadFloat(TypeWord, Data)) {
        return NumberText(*v);
      }
      return std::nullopt;
    case T::Bcd:
    case T::FmtBcd: return ReadBcd(TypeWord, Data);
    case T::Date:
    case T::Time:
    case T::DateTime:
    case T::TimeStamp:
    case T::TimeStampOffset: {
      const auto t = ReadCalendar(TypeWord, Data);
      if (!t) return std::nullopt;
      std::string Text = CalendarText(BaseTypeOf(TypeWord), *t);
      if (BaseTypeOf(TypeWord) == T::TimeStampOffset) {
        const auto Hours = static_cast<std::int16_t>(LoadLE(Data.data() + 16, 2));
        const auto Minutes = static_cast<std::int16_t>(LoadLE(Data.data() + 18, 2));
        if (Hours < -23 || Hours > 23 || Minutes < -59 || Minutes > 59) return std::nullopt;
        Text += Hours < 0 || Minutes < 0 ? '-' : '+';
        AppendPadded(Text, static_cast<unsigned>(Hours < 0 ? -Hours : Hours), 2);
        Text += ':';
        AppendPadded(Text, static_cast<unsigned>(Minutes < 0 ? -Minutes : Minutes), 2);
      }
      return Text;
    }
    case T::Text:
    case T::WideText: return ReadText(TypeWord, Data);
    default: return std::nullopt;
  }
}

std::string HexText(std::span<const std::uint8_t> Data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string Text;
  Text.reserve(Data.size() * 2);
  for (const auto b : Data) {
    Text += kDigits[b >> 4];
    Text += kDigits[b & 0x0F];
  }
  return Text;
}

}  // namespace tavrin
