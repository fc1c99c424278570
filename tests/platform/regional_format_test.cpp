// The system's clock and its regional date and time formats.

#include <gtest/gtest.h>

#include "platform/local_clock.h"
#include "platform/regional_format.h"

namespace tavrin::platform {
namespace {

#ifdef _WIN32
constexpr const char* kLocale = "en-US";
#else
constexpr const char* kLocale = "C";
#endif

TEST(SystemRegionalFormat, WritesTheLocalesShortDateAndLongTime) {
  struct TCase {
    TLocalDateTime When;
    const char* Date;
    const char* Time;
  };
#ifdef _WIN32
  const TCase Cases[] = {
      {{2013, 3, 25, 14, 5, 9, 0}, "3/25/2013", "2:05:09 PM"},
      {{2024, 1, 5, 0, 0, 7, 999}, "1/5/2024", "12:00:07 AM"},
      {{1999, 12, 31, 23, 59, 59, 0}, "12/31/1999", "11:59:59 PM"},
  };
#else
  const TCase Cases[] = {
      {{2013, 3, 25, 14, 5, 9, 0}, "03/25/13", "14:05:09"},
      {{2024, 1, 5, 0, 0, 7, 999}, "01/05/24", "00:00:07"},
      {{1999, 12, 31, 23, 59, 59, 0}, "12/31/99", "23:59:59"},
  };
#endif
  TSystemRegionalFormat Format(kLocale);
  for (const auto& Case : Cases) {
    EXPECT_EQ(Format.ShortDate(Case.When), Case.Date);
    EXPECT_EQ(Format.LongTime(Case.When), Case.Time);
  }
}

TEST(SystemRegionalFormat, UnknownLocaleFallsBack) {
  TSystemRegionalFormat Unknown("xx_NOWHERE.UTF-8");
#ifdef _WIN32
  TSystemRegionalFormat Fallback;  // the user's settings
#else
  TSystemRegionalFormat Fallback("C");
#endif
  const TLocalDateTime When{2013, 3, 25, 14, 5, 9, 0};
  EXPECT_EQ(Unknown.ShortDate(When), Fallback.ShortDate(When));
  EXPECT_EQ(Unknown.LongTime(When), Fallback.LongTime(When));
}

TEST(SystemLocalClock, GivesACalendarDateAndTime) {
  const TLocalDateTime Now = TSystemLocalClock().Now();
  EXPECT_GE(Now.Year, 2024);
  EXPECT_GE(Now.Month, 1);
  EXPECT_LE(Now.Month, 12);
  EXPECT_GE(Now.Day, 1);
  EXPECT_LE(Now.Day, 31);
  EXPECT_LT(Now.Hour, 24);
  EXPECT_LT(Now.Minute, 60);
  EXPECT_LT(Now.Second, 61);
  EXPECT_LT(Now.Millisecond, 1000);
}

}  // namespace
}  // namespace tavrin::platform
