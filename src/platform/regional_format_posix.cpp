#include "platform/regional_format.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <array>
#include <chrono>

namespace tavrin::platform {
namespace {

constexpr std::size_t kFormattedBytes = 256;  // longer than any date or time a locale writes
constexpr const char* kFallbackLocale = "C";
// The "C" locale's own patterns, for when the system refuses even that locale.
constexpr const char* kFallbackDatePattern = "%m/%d/%y";
constexpr const char* kFallbackTimePattern = "%H:%M:%S";

tm ToTm(const TLocalDateTime& When) {
  using namespace std::chrono;
  const year_month_day Date{year{When.Year}, month{static_cast<unsigned>(When.Month)},
                            day{static_cast<unsigned>(When.Day)}};
  const sys_days Days{Date};
  tm Result{};
  Result.tm_year = When.Year - 1900;
  Result.tm_mon = When.Month - 1;
  Result.tm_mday = When.Day;
  Result.tm_hour = When.Hour;
  Result.tm_min = When.Minute;
  Result.tm_sec = When.Second;
  // Some patterns name the weekday or count the days of the year.
  Result.tm_wday = static_cast<int>(weekday{Days}.c_encoding());
  Result.tm_yday = static_cast<int>((Days - sys_days{Date.year() / January / 1}).count());
  Result.tm_isdst = -1;
  return Result;
}

// When in the pattern Item of Locale, or in Fallback without a locale.
std::string Format(locale_t Locale, nl_item Item, const char* Fallback,
                   const TLocalDateTime& When) {
  const tm Fields = ToTm(When);
  std::array<char, kFormattedBytes> Text{};
  const std::size_t Length =
      Locale != nullptr
          ? strftime_l(Text.data(), Text.size(), nl_langinfo_l(Item, Locale), &Fields, Locale)
          : strftime(Text.data(), Text.size(), Fallback, &Fields);
  return std::string(Text.data(), Length);
}

}  // namespace

// The locale's time category, read once; nullptr when the system gave none.
struct TSystemRegionalFormat::TLocale {
  locale_t Handle = nullptr;
};

TSystemRegionalFormat::TSystemRegionalFormat() : TSystemRegionalFormat("") {}

TSystemRegionalFormat::TSystemRegionalFormat(const std::string& LocaleName)
    : FLocale(std::make_unique<TLocale>()) {
  // "" asks for the locale the environment names.
  FLocale->Handle = newlocale(LC_TIME_MASK, LocaleName.c_str(), nullptr);
  if (FLocale->Handle == nullptr) {
    FLocale->Handle = newlocale(LC_TIME_MASK, kFallbackLocale, nullptr);
  }
}

TSystemRegionalFormat::~TSystemRegionalFormat() {
  if (FLocale->Handle != nullptr) freelocale(FLocale->Handle);
}

std::string TSystemRegionalFormat::ShortDate(const TLocalDateTime& When) {
  return Format(FLocale->Handle, D_FMT, kFallbackDatePattern, When);
}

std::string TSystemRegionalFormat::LongTime(const TLocalDateTime& When) {
  return Format(FLocale->Handle, T_FMT, kFallbackTimePattern, When);
}

}  // namespace tavrin::platform
