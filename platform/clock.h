#pragma once
// The local clock and the user's date and time formats.

#include <string>
#include <string_view>

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

// The user's short date and long time formats.
//
// shortDatePattern tokens:
//   d     day without leading zero        dd    day in two digits
//   M     month without leading zero      MM    month in two digits
//   yy    year in two digits (also y)     yyyy  year in four digits (also yyy)
//   /     the date separator (dateSeparator)
//   '...' or "..." literal text; every other character stands for itself.
// Longer runs of d or M (day and month names) are written as two-digit numbers.
struct DateTimeFormat {
  std::u16string shortDatePattern = u"yyyy/M/d";
  std::u16string dateSeparator = u"/";
  std::u16string timeSeparator = u":";
  bool hoursLeadingZero = false;
  bool twelveHourClock = false;
  std::u16string amDesignator = u"AM";
  std::u16string pmDesignator = u"PM";
  bool designatorBeforeTime = false;
};

// The local date and time, to the millisecond.
LocalDateTime LocalNow();

// The user's formats as the system reports them; read once at program start.
DateTimeFormat ReadDateTimeFormat();

// Maps the C library's locale formats (nl_langinfo: D_FMT, T_FMT, T_FMT_AMPM, AM_STR, PM_STR,
// already as UTF-8) to a DateTimeFormat:
//   %Y -> yyyy   %y -> yy   %m -> MM   %-m -> M   %d -> dd   %e, %-d -> d
//   %D -> %m/%d/%y          %F -> %Y-%m-%d        %x -> the default date
//   %H -> 24 h, leading zero   %k, %-H -> 24 h, none
//   %I -> 12 h, leading zero   %l, %-I -> 12 h, none
//   %T -> %H:%M:%S   %R -> %H:%M   %r -> T_FMT_AMPM   %X -> the default time
//   %p / %P before the hours -> designator before the time, else after it.
// The date separator is the first literal text between two date fields; it stands as '/' in
// the pattern, other literal text is quoted. The time separator is the text between the hours
// and the minutes. A date format without day, month and year numbers falls back to "yyyy/M/d"
// with "/"; a time format without hours and minutes falls back to H:mm:ss on a 24-hour clock.
DateTimeFormat MapStrftimeFormats(std::string_view dateFormat, std::string_view timeFormat,
                                  std::string_view timeFormatAmPm, std::string_view am,
                                  std::string_view pm);

}  // namespace qelo::platform
