// The local clock and the locale's date and time formats through the C library.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <string>

#include "platform/clock.h"
#include "platform/text.h"

namespace qelo::platform {
namespace {

// The locale's text as UTF-8; texts of other code sets are converted with iconv.
std::string ToUtf8Bytes(const char* text, const char* codeset) {
  std::string bytes = text ? text : "";
  const std::string_view set = codeset ? codeset : "";
  if (bytes.empty() || set == "UTF-8" || set == "ANSI_X3.4-1968") return bytes;
  iconv_t converter = iconv_open("UTF-8", codeset);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): (iconv_t)-1 is iconv_open's failure value.
  if (converter == reinterpret_cast<iconv_t>(-1)) return bytes;
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(converter);
  if (result == static_cast<std::size_t>(-1)) return bytes;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

LocalDateTime LocalNow() {
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

DateTimeFormat ReadDateTimeFormat() {
  // A locale object of its own leaves the process's global locale as it is.
  locale_t user = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr))
    user = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) return DateTimeFormat{};
  const char* codeset = nl_langinfo_l(CODESET, user);
  const auto item = [&](nl_item name) { return ToUtf8Bytes(nl_langinfo_l(name, user), codeset); };
  DateTimeFormat format =
      MapStrftimeFormats(item(D_FMT), item(T_FMT), item(T_FMT_AMPM), item(AM_STR), item(PM_STR));
  freelocale(user);
  return format;
}

}  // namespace qelo::platform
