// The local clock and the user's date and time formats through the C library: the date and the
// time of the locale that the time category resolves to (LC_ALL, then LC_TIME, then LANG), as
// strftime's %x and %X write them, which is what `date +'%x %X'` prints.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/clock.h"
#include "platform/unique_handle.h"

namespace qelo::platform {
namespace {

struct LocaleTraits {
  using Handle = locale_t;
  static Handle Invalid() { return static_cast<locale_t>(nullptr); }
  static void Close(Handle locale) { ::freelocale(locale); }
};
using UniqueLocale = UniqueHandle<LocaleTraits>;

struct IconvTraits {
  using Handle = iconv_t;
  // NOLINTNEXTLINE(performance-no-int-to-ptr): (iconv_t)-1 is iconv_open's failure value.
  static Handle Invalid() { return reinterpret_cast<iconv_t>(-1); }
  static void Close(Handle converter) { ::iconv_close(converter); }
};
using UniqueIconv = UniqueHandle<IconvTraits>;

// The time category alone, as the environment names it (the C library's own order: LC_ALL,
// then LC_TIME, then LANG); its data names the code set of its own texts, so the character
// category need not be loaded. A locale the system does not know gives the C one.
UniqueLocale OpenTimeLocale() {
  UniqueLocale locale(newlocale(LC_TIME_MASK, "", nullptr));
  if (!locale.Valid()) locale.Reset(newlocale(LC_TIME_MASK, "C", nullptr));
  return locale;
}

std::u16string Decode(const std::string& bytes, const char* codeset) {
  const std::string_view set = codeset != nullptr ? codeset : "";
  if (bytes.empty() || set == "UTF-8" || set == "ANSI_X3.4-1968") return FromUtf8(bytes);
  const UniqueIconv converter(iconv_open("UTF-8", codeset));
  if (!converter.Valid()) return FromUtf8(bytes);
  std::string out(bytes.size() * 4 + 4, '\0');
  std::string in = bytes;
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (iconv(converter.Get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    return FromUtf8(bytes);
  }
  out.resize(out.size() - outLeft);
  return FromUtf8(out);
}

tm ToTm(const LocalDateTime& time) {
  tm fields{};
  fields.tm_year = time.year - 1900;
  fields.tm_mon = time.month - 1;
  fields.tm_mday = time.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  // The weekday and the day of the year, for formats that name the day.
  tm normalised = fields;
  timegm(&normalised);
  fields.tm_wday = normalised.tm_wday;
  fields.tm_yday = normalised.tm_yday;
  fields.tm_isdst = -1;
  return fields;
}

class SystemClockPosix final : public Clock {
 public:
  SystemClockPosix() : locale_(OpenTimeLocale()) {}

  LocalDateTime Now() const override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // The time zone as the environment names it now, not as it was at an earlier call.
    tzset();
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return LocalDateTime{local.tm_year + 1900,
                         local.tm_mon + 1,
                         local.tm_mday,
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec,
                         static_cast<int>(now.tv_nsec / 1000000)};
  }

  std::u16string ShortDate(const LocalDateTime& time) const override { return Format("%x", time); }
  std::u16string LongTime(const LocalDateTime& time) const override { return Format("%X", time); }

 private:
  std::u16string Format(const char* conversion, const LocalDateTime& time) const {
    if (!locale_.Valid()) return {};
    const tm fields = ToTm(time);
    // Far longer than any locale's date or time; strftime gives 0 for an empty text and for a
    // longer one alike.
    char bytes[256];
    const std::size_t length = strftime_l(bytes, sizeof bytes, conversion, &fields, locale_.Get());
    return Decode(std::string(bytes, length), nl_langinfo_l(_NL_TIME_CODESET, locale_.Get()));
  }

  UniqueLocale locale_;
};

}  // namespace

std::unique_ptr<Clock> SystemClock() { return std::make_unique<SystemClockPosix>(); }

}  // namespace qelo::platform
