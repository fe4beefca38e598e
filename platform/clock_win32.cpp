// The local clock and the user's date and time formats through the Win32 locale service: the
// short date and the long time exactly as Windows writes them for the user's default locale,
// with every pattern, name and era the user can set.
#include <windows.h>

#include <string>

#include "platform/clock.h"
#include "platform/text_win32.h"

namespace qelo::platform {
namespace {

SYSTEMTIME ToSystemTime(const LocalDateTime& time) {
  SYSTEMTIME fields{};
  fields.wYear = static_cast<WORD>(time.year);
  fields.wMonth = static_cast<WORD>(time.month);
  fields.wDay = static_cast<WORD>(time.day);
  fields.wHour = static_cast<WORD>(time.hour);
  fields.wMinute = static_cast<WORD>(time.minute);
  fields.wSecond = static_cast<WORD>(time.second);
  fields.wMilliseconds = static_cast<WORD>(time.millisecond);
  return fields;
}

// Calls `format(buffer, size)` the way the locale functions want: first for the length, then
// for the text; 0 from either means no text.
template <typename Format>
std::u16string Formatted(Format format) {
  const int length = format(nullptr, 0);
  if (length <= 1) return {};
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  const int written = format(WideBuffer(text), length);
  if (written <= 1) return {};
  text.resize(static_cast<std::size_t>(written - 1));
  return text;
}

class SystemClockWin32 final : public Clock {
 public:
  LocalDateTime Now() const override {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalDateTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                         now.wMinute, now.wSecond, now.wMilliseconds};
  }

  std::u16string ShortDate(const LocalDateTime& time) const override {
    const SYSTEMTIME fields = ToSystemTime(time);
    return Formatted([&](wchar_t* buffer, int size) {
      return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr, buffer,
                             size, nullptr);
    });
  }

  std::u16string LongTime(const LocalDateTime& time) const override {
    const SYSTEMTIME fields = ToSystemTime(time);
    return Formatted([&](wchar_t* buffer, int size) {
      return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &fields, nullptr, buffer, size);
    });
  }
};

}  // namespace

std::unique_ptr<Clock> SystemClock() { return std::make_unique<SystemClockWin32>(); }

}  // namespace qelo::platform
