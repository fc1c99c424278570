#include "platform/local_clock.h"

#include <time.h>

#include <chrono>

namespace tavrin::platform {

TLocalDateTime TSystemLocalClock::Now() {
  using namespace std::chrono;
  const auto Stamp = system_clock::now();
  const time_t Seconds = system_clock::to_time_t(time_point_cast<std::chrono::seconds>(Stamp));
  tm Local{};
  localtime_r(&Seconds, &Local);
  const auto Fraction = Stamp - time_point_cast<std::chrono::seconds>(Stamp);
  return {Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday, Local.tm_hour, Local.tm_min,
          Local.tm_sec, static_cast<int>(duration_cast<milliseconds>(Fraction).count())};
}

}  // namespace tavrin::platform
