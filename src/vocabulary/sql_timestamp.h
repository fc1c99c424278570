#pragma once
// Calendar values as the wire carries them: dates as year*512 + month*32 + day,
// times as milliseconds since midnight, timestamps as whole-second milliseconds since
// 1970-01-01 plus a nanosecond fraction.

#include <cstdint>

namespace tavrin {

struct TSQLTimeStamp {
  std::int16_t Year = 0;
  std::uint16_t Month = 0;
  std::uint16_t Day = 0;
  std::uint16_t Hour = 0;
  std::uint16_t Minute = 0;
  std::uint16_t Second = 0;
  std::uint32_t Fractions = 0;  // milliseconds
  friend bool operator==(const TSQLTimeStamp&, const TSQLTimeStamp&) = default;
};

// The wire form of a timestamp: milliseconds counting whole seconds only, and the
// fraction in nanoseconds.
struct TDBXTimeValue {
  std::int64_t Millis = 0;
  std::int32_t Nanos = 0;
};

TDBXTimeValue TimeStampToTimeValue(const TSQLTimeStamp& Value);
// Days are taken by floor division, so times before 1970 come out right.
TSQLTimeStamp TimeValueToTimeStamp(TDBXTimeValue Value);

std::int64_t EncodeDbxDate(int Year, int Month, int Day);
void DecodeDbxDate(std::int64_t Encoded, int& Year, int& Month, int& Day);

std::int64_t EncodeDbxTime(int Hour, int Minute, int Second, int Millisecond);

}  // namespace tavrin
