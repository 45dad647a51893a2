// The host's time formats from the environment's LC_TIME locale through a locale object of its
// own (newlocale), so that no other code sees a changed process locale.
#include <langinfo.h>
#include <locale.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "mapdata/host_time.h"

namespace kx {
namespace {

// Formatted dates and times are a few dozen bytes; the buffer grows to this size before a
// format is given up as unusable.
constexpr size_t kMaxFormattedLength = 4096;
constexpr size_t kFirstBufferLength = 128;

struct FreeLocale {
  void operator()(locale_t locale) const { freelocale(locale); }
};
using LocalePtr = std::unique_ptr<std::remove_pointer_t<locale_t>, FreeLocale>;

// The locale name that decides LC_TIME, looked up in the environment the way setlocale does.
const char* TimeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

// The time formats and character set of that locale together, so that the texts it produces
// can be checked to be UTF-8 (the service's inner text form). A locale that is missing or has
// another character set gives way to "C".
LocalePtr OpenTimeLocale() {
  constexpr int kCategories = LC_TIME_MASK | LC_CTYPE_MASK;
  LocalePtr locale(newlocale(kCategories, TimeLocaleName(), nullptr));
  if (locale && std::string_view(nl_langinfo_l(CODESET, locale.get())) == "UTF-8") return locale;
  return LocalePtr(newlocale(kCategories, "C", nullptr));
}

locale_t TimeLocale() {
  static const LocalePtr locale = OpenTimeLocale();
  return locale.get();
}

std::string Format(const CivilTime& time, nl_item format_item) {
  const locale_t locale = TimeLocale();
  const char* format = nl_langinfo_l(format_item, locale);
  if (*format == '\0') return {};
  const std::tm tm = TmOfCivil(time);
  for (size_t length = kFirstBufferLength; length <= kMaxFormattedLength; length *= 2) {
    std::vector<char> buffer(length);
    const size_t written = strftime_l(buffer.data(), buffer.size(), format, &tm, locale);
    if (written > 0) return std::string(buffer.data(), written);
  }
  return {};
}

}  // namespace

CivilTime LocalNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  CivilTime time;
  time.year = local.tm_year + 1900;
  time.month = local.tm_mon + 1;
  time.day = local.tm_mday;
  time.hour = local.tm_hour;
  time.minute = local.tm_min;
  time.second = local.tm_sec;
  time.millisecond =
      static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return time;
}

std::string HostDateText(const CivilTime& time) {
  return Format(time, D_FMT);
}

std::string HostTimeText(const CivilTime& time) {
  return Format(time, T_FMT);
}

}  // namespace kx
