#include "vocabulary/sql_timestamp.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(SqlTimeStamp, DateAndTimeEncodings) {
  EXPECT_EQ(EncodeDbxDate(2013, 3, 15), 1'030'767);
  int y = 0, m = 0, d = 0;
  DecodeDbxDate(1'030'767, y, m, d);
  EXPECT_EQ((std::tuple{y, m, d}), (std::tuple{2013, 3, 15}));
  EXPECT_EQ(EncodeDbxTime(23, 59, 59, 999), 86'399'999);
}

TEST(SqlTimeStamp, RoundTripsAroundTheEpochWithFractions) {
  struct Case { TSQLTimeStamp Ts; std::int64_t Millis; std::int32_t Nanos; };
  const Case Cases[] = {
      {{1970, 1, 1, 0, 0, 0, 0}, 0, 0},
      {{1970, 1, 1, 0, 0, 1, 5}, 1000, 5'000'000},
      {{1969, 12, 31, 23, 59, 59, 0}, -1000, 0},
      {{1899, 12, 30, 12, 0, 0, 250}, -2'209'118'400'000, 250'000'000},
      {{2026, 12, 9, 23, 37, 6, 999}, 1'796'859'426'000, 999'000'000},
  };
  for (const auto& c : Cases) {
    const auto tv = TimeStampToTimeValue(c.Ts);
    EXPECT_EQ(tv.Millis, c.Millis);
    EXPECT_EQ(tv.Nanos, c.Nanos);
    EXPECT_EQ(TimeValueToTimeStamp(tv), c.Ts);
  }
}

}  // namespace
}  // namespace tavrin
