#pragma once
// The local clock and the user's date and time formats.

#include <memory>
#include <string>

namespace qelo::platform {

struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The local clock, and the user's short date and long time formats applied by the system's own
// formatting, so that a date reads exactly as everything else on the user's desktop writes it.
class Clock {
 public:
  virtual ~Clock() = default;
  // The local date and time, to the millisecond.
  virtual LocalDateTime Now() const = 0;
  virtual std::u16string ShortDate(const LocalDateTime& time) const = 0;
  virtual std::u16string LongTime(const LocalDateTime& time) const = 0;
};

// The system's clock, with the user's formats as the system reports them, read once here at
// program start. Never fails: a locale the system does not know gives the system's default
// formats.
std::unique_ptr<Clock> SystemClock();

}  // namespace qelo::platform
