#pragma once
// The local date and time, as the machine's clock and time zone give it.

namespace tavrin::platform {

struct TLocalDateTime {
  int Year = 1970;
  int Month = 1;  // 1..12
  int Day = 1;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;

  // Exactly 00:00:00.000.
  bool IsMidnight() const {
    return Hour == 0 && Minute == 0 && Second == 0 && Millisecond == 0;
  }
};

class ILocalClock {
 public:
  virtual ~ILocalClock() = default;
  // Now, in local time. Any thread may call it.
  virtual TLocalDateTime Now() = 0;
};

class TSystemLocalClock final : public ILocalClock {
 public:
  TLocalDateTime Now() override;
};

}  // namespace tavrin::platform
