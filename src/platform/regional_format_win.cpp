#include "platform/regional_format.h"

#include <windows.h>

#include <array>
#include <chrono>

#include "platform/utf16_win.h"

namespace tavrin::platform {
namespace {

constexpr int kFormattedChars = 128;  // longer than any date or time a locale writes

SYSTEMTIME ToSystemTime(const TLocalDateTime& When) {
  using namespace std::chrono;
  const sys_days Days{year_month_day{year{When.Year}, month{static_cast<unsigned>(When.Month)},
                                     day{static_cast<unsigned>(When.Day)}}};
  SYSTEMTIME Result{};
  Result.wYear = static_cast<WORD>(When.Year);
  Result.wMonth = static_cast<WORD>(When.Month);
  Result.wDay = static_cast<WORD>(When.Day);
  Result.wDayOfWeek = static_cast<WORD>(weekday{Days}.c_encoding());
  Result.wHour = static_cast<WORD>(When.Hour);
  Result.wMinute = static_cast<WORD>(When.Minute);
  Result.wSecond = static_cast<WORD>(When.Second);
  Result.wMilliseconds = static_cast<WORD>(When.Millisecond);
  return Result;
}

}  // namespace

// The locale's name, or empty for the user's settings. The system is asked at every
// call, so a change of the user's settings applies to the next line written.
struct TSystemRegionalFormat::TLocale {
  std::wstring Name;
  const wchar_t* Get() const { return Name.empty() ? LOCALE_NAME_USER_DEFAULT : Name.c_str(); }
};

TSystemRegionalFormat::TSystemRegionalFormat() : FLocale(std::make_unique<TLocale>()) {}

TSystemRegionalFormat::TSystemRegionalFormat(const std::string& LocaleName)
    : FLocale(std::make_unique<TLocale>()) {
  if (IsValidLocaleName(Widen(LocaleName).c_str())) FLocale->Name = Widen(LocaleName);
}

TSystemRegionalFormat::~TSystemRegionalFormat() = default;

std::string TSystemRegionalFormat::ShortDate(const TLocalDateTime& When) {
  const SYSTEMTIME Time = ToSystemTime(When);
  std::array<wchar_t, kFormattedChars> Text{};
  const int Length = GetDateFormatEx(FLocale->Get(), DATE_SHORTDATE, &Time, nullptr, Text.data(),
                                     kFormattedChars, nullptr);
  // The count includes the terminating null; 0 is a failure (nothing to show).
  return Length > 0 ? Narrow(Text.data(), static_cast<std::size_t>(Length - 1)) : std::string();
}

std::string TSystemRegionalFormat::LongTime(const TLocalDateTime& When) {
  const SYSTEMTIME Time = ToSystemTime(When);
  std::array<wchar_t, kFormattedChars> Text{};
  const int Length =
      GetTimeFormatEx(FLocale->Get(), 0, &Time, nullptr, Text.data(), kFormattedChars);
  return Length > 0 ? Narrow(Text.data(), static_cast<std::size_t>(Length - 1)) : std::string();
}

}  // namespace tavrin::platform
