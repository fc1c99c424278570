#include "vocabulary/sql_timestamp.h"

namespace tavrin {
namespace {

constexpr std::int64_t kMillisPerDay = 86'400'000;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

TDBXTimeValue TimeStampToTimeValue(const TSQLTimeStamp& Value) {
  const std::int64_t Days = DaysFromCivil(Value.Year, Value.Month, Value.Day);
  TDBXTimeValue Result;
  Result.Millis = Days * kMillisPerDay + Value.Hour * 3'600'000LL + Value.Minute * 60'000LL +
                  Value.Second * 1000LL;
  Result.Nanos = static_cast<std::int32_t>(Value.Fractions * 1'000'000u);
  return Result;
}

TSQLTimeStamp TimeValueToTimeStamp(TDBXTimeValue Value) {
  const std::int64_t Days = FloorDiv(Value.Millis, kMillisPerDay);
  std::int64_t Rest = Value.Millis - Days * kMillisPerDay;
  std::int64_t y = 0;
  unsigned m = 0;
  unsigned d = 0;
  CivilFromDays(Days, y, m, d);
  TSQLTimeStamp Result;
  Result.Year = static_cast<std::int16_t>(y);
  Result.Month = static_cast<std::uint16_t>(m);
  Result.Day = static_cast<std::uint16_t>(d);
  Result.Hour = static_cast<std::uint16_t>(Rest / 3'600'000);
  Rest %= 3'600'000;
  Result.Minute = static_cast<std::uint16_t>(Rest / 60'000);
  Rest %= 60'000;
  Result.Second = static_cast<std::uint16_t>(Rest / 1000);
  // Whole-second millis carry no fraction of their own; a stray remainder is kept.
  Result.Fractions = static_cast<std::uint32_t>(Rest % 1000 + Value.Nanos / 1'000'000);
  return Result;
}

std::int64_t EncodeDbxDate(int Year, int Month, int Day) {
  return static_cast<std::int64_t>(Year) * 512 + Month * 32 + Day;
}

void DecodeDbxDate(std::int64_t Encoded, int& Year, int& Month, int& Day) {
  Year = static_cast<int>(Encoded / 512);
  Month = static_cast<int>((Encoded % 512) / 32);
  Day = static_cast<int>(Encoded % 32);
}

std::int64_t EncodeDbxTime(int Hour, int Minute, int Second, int Millisecond) {
  return Hour * 3'600'000LL + Minute * 60'000LL + Second * 1000LL + Millisecond;
}

}  // namespace tavrin
