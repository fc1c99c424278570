// The conversions of the argument cells that are arithmetic rather than plain copies:
// currency from and to decimal text, date-time from and to timestamps.

#include "server/methods/method_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/error_of.h"

namespace tavrin {
namespace {

TEST(CurrencyCells, DecimalTextRoundsHalfAwayFromZeroToFourDecimals) {
  const std::pair<const char*, std::int64_t> Cases[] = {
      {"0", 0},
      {"12.5", 125000},
      {"-12.5", -125000},
      {"1.23455", 12346},
      {"-1.23455", -12346},
      {"1.23454999", 12345},
      {".5", 5000},
      {"922337203685477.5807", std::numeric_limits<std::int64_t>::max()},
      {"-922337203685477.5808", std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& [Text, Scaled] : Cases) {
    SCOPED_TRACE(Text);
    EXPECT_EQ(CurrencyFromDecimalText(Text).Scaled, Scaled);
  }
  for (const char* Bad : {"", "-", "1.2.3", "12a", "+1", "922337203685477.5808", "-922337203685477.58085",
                          "99999999999999999999"}) {
    SCOPED_TRACE(Bad);
    EXPECT_EQ(ErrorOf([&] { CurrencyFromDecimalText(Bad); }).ErrorCode(), 2);
  }
}

TEST(CurrencyCells, TextOfACurrencyIsItsShortestDecimal) {
  const std::pair<std::int64_t, const char*> Cases[] = {
      {0, "0"},
      {125000, "12.5"},
      {-125000, "-12.5"},
      {1, "0.0001"},
      {-30000, "-3"},
      {std::numeric_limits<std::int64_t>::min(), "-922337203685477.5808"},
  };
  for (const auto& [Scaled, Text] : Cases) {
    EXPECT_EQ(DecimalTextFromCurrency({Scaled}), Text);
  }
}

TEST(DateTimeCells, DaysCountFromTheEndOf1899WithTheTimeAsFraction) {
  struct TCase {
    TSQLTimeStamp Stamp;
    double Serial;
  };
  const TCase Cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
      {{1899, 12, 31, 12, 0, 0, 0}, 1.5},
      // Before the epoch the fraction still counts forward from midnight.
      {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
      {{1900, 3, 1, 0, 0, 0, 0}, 61.0},
      {{2024, 2, 29, 18, 0, 0, 0}, 45351.75},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Serial);
    EXPECT_DOUBLE_EQ(DateTimeFromTimeStamp(Case.Stamp).Value, Case.Serial);
    EXPECT_EQ(TimeStampFromDateTime({Case.Serial}), Case.Stamp);
  }
  // To the millisecond, and a value a hair before midnight rounds into the next day.
  const TSQLTimeStamp Late{2031, 12, 31, 23, 59, 59, 999};
  EXPECT_EQ(TimeStampFromDateTime(DateTimeFromTimeStamp(Late)), Late);
  EXPECT_EQ(TimeStampFromDateTime({2.0 - 1e-12}), (TSQLTimeStamp{1900, 1, 1, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace tavrin
