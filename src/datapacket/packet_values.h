#pragma once
// The bytes of each kind of value inside a packet, and their readable text. These are
// the forms a packet writer hands to TDSWriter::PutValue and a reader gets back:
//   integer (1), unsigned (2)   little-endian, 1, 2, 4 or 8 bytes (two's complement)
//   boolean (3)                 2 bytes: 0 false, 0xFFFF true (any other non-zero reads true)
//   float (4)                   IEEE 754 double, 8 bytes (a 4-byte column holds a single)
//   single (27)                 IEEE 754 single, 4 bytes
//   bcd (5), fmtbcd (18)        precision byte (1 to 64), byte of sign (0x80) and decimal
//                               places (low 6 bits), then the digits two to a byte, high
//                               nibble first; bytes after the digits are 0
//   date (6)                    signed 32-bit days since 1970-01-01
//   time (7)                    32-bit milliseconds since midnight
//   datetime (8)                signed 64-bit milliseconds since 1970-01-01 00:00:00
//   timestamp (17)              16 bytes: year (signed), month, day, hour, minute, second
//                               (16-bit each), milliseconds (32-bit)
//   timestampoffset (36)        the 16 bytes of a timestamp, then the offset from UTC:
//                               signed 16-bit hours and minutes
//   text (9)                    UTF-8; widetext (10) UTF-16 code units; bytes (11) as they are
// Attributes read code 5 as currency instead: a signed 64-bit count of ten-thousandths.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vocabulary/sql_timestamp.h"

namespace tavrin {

// A fixed-size value, ready for PutValue(0, Size(), Data()).
class TFixedValue {
 public:
  const std::uint8_t* Data() const { return FBytes.data(); }
  std::uint32_t Size() const { return FSize; }
  std::span<const std::uint8_t> Bytes() const { return {FBytes.data(), FSize}; }
  std::uint8_t* Mutable(std::uint32_t Size) {
    FSize = Size;
    return FBytes.data();
  }

 private:
  std::array<std::uint8_t, 34> FBytes{};  // the largest fixed value: a 64-digit decimal
  std::uint32_t FSize = 0;
};

TFixedValue IntegerValue(std::int64_t Value, std::uint32_t Size);  // the low Size bytes
TFixedValue FloatValue(double Value);
TFixedValue SingleValue(float Value);
TFixedValue BooleanValue(bool Value);
TFixedValue DateValue(int Year, int Month, int Day);
TFixedValue TimeValue(int Hour, int Minute, int Second, int Millisecond);
TFixedValue DateTimeValue(const TSQLTimeStamp& Value);
TFixedValue TimeStampValue(const TSQLTimeStamp& Value);
TFixedValue TimeStampOffsetValue(const TSQLTimeStamp& Value, int OffsetHours, int OffsetMinutes);
// Decimal text ("-12.50": an optional sign, digits, optionally a point and more digits)
// in a column of Size bytes; nullopt when it is not such text or its digits do not fit.
std::optional<TFixedValue> BcdValue(std::string_view Decimal, std::uint32_t Size);
// UTF-8 text as UTF-16 code units, little-endian, for a widetext column.
std::vector<std::uint8_t> WideTextValue(std::string_view Utf8);

// Reads by the column's type word; nullopt when the type is another or the bytes do not
// have the size or content the type needs.
std::optional<std::int64_t> ReadInteger(std::uint32_t TypeWord, std::span<const std::uint8_t> Data);
std::optional<double> ReadFloat(std::uint32_t TypeWord, std::span<const std::uint8_t> Data);
std::optional<bool> ReadBoolean(std::uint32_t TypeWord, std::span<const std::uint8_t> Data);
// Date, time, datetime and the timestamps; a date has no time of day, a time the date
// parts 0. Dates outside the years 1 to 9999 are refused.
std::optional<TSQLTimeStamp> ReadCalendar(std::uint32_t TypeWord, std::span<const std::uint8_t> Data);
// Text and wide text as UTF-8; nullopt for malformed UTF-8 or UTF-16.
std::optional<std::string> ReadText(std::uint32_t TypeWord, std::span<const std::uint8_t> Data);
// A decimal as text ("-12.50").
std::optional<std::string> ReadBcd(std::uint32_t TypeWord, std::span<const std::uint8_t> Data);

// The value as readable text: numbers in decimal (floats in their shortest exact form),
// booleans "true"/"false", calendar values in ISO 8601 ("2024-03-05", "13:45:10.250",
// "2024-03-05T13:45:10"), text as UTF-8. nullopt for bytes and for a value its type
// cannot read; HexText shows those.
std::optional<std::string> ValueText(std::uint32_t TypeWord, std::span<const std::uint8_t> Data);
// Two upper-case hex digits per byte, no separators.
std::string HexText(std::span<const std::uint8_t> Data);

}  // namespace tavrin
