// Windows: the user's short date and long time formats (GetLocaleInfoEx), applied with
// GetDateFormatEx and GetTimeFormatEx, and the local clock of GetLocalTime.
#include <windows.h>

#include <string>

#include "common/wide_text.h"
#include "mapdata/host_time.h"

namespace kx {
namespace {

// The format picture of the user's locale; empty when the system cannot tell.
[[nodiscard]] std::wstring LocaleFormat(LCTYPE item) {
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, nullptr, 0);
  if (length <= 0) return {};
  std::wstring format(static_cast<size_t>(length), L'\0');
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, format.data(), length) <= 0) return {};
  format.resize(static_cast<size_t>(length) - 1);  // without the terminating zero
  return format;
}

[[nodiscard]] SYSTEMTIME SystemTimeOf(const CivilTime& time) {
  SYSTEMTIME system{};
  system.wYear = static_cast<WORD>(time.year);
  system.wMonth = static_cast<WORD>(time.month);
  system.wDayOfWeek = static_cast<WORD>(TmOfCivil(time).tm_wday);
  system.wDay = static_cast<WORD>(time.day);
  system.wHour = static_cast<WORD>(time.hour);
  system.wMinute = static_cast<WORD>(time.minute);
  system.wSecond = static_cast<WORD>(time.second);
  system.wMilliseconds = static_cast<WORD>(time.millisecond);
  return system;
}

// Formats with one of the two functions, which share their parameters: the length first, then
// the text. Empty when the format or the date is unusable (years before 1601, for one).
template <typename FormatFunction>
[[nodiscard]] std::string Format(FormatFunction function, LCTYPE item, const CivilTime& time) {
  const std::wstring format = LocaleFormat(item);
  if (format.empty()) return {};
  const SYSTEMTIME system = SystemTimeOf(time);
  const int length = function(LOCALE_NAME_USER_DEFAULT, 0, &system, format.c_str(), nullptr, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length), L'\0');
  if (function(LOCALE_NAME_USER_DEFAULT, 0, &system, format.c_str(), text.data(), length) <= 0) {
    return {};
  }
  text.resize(static_cast<size_t>(length) - 1);
  return Utf8FromWide(text);
}

[[nodiscard]] int DateFormat(LPCWSTR locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format,
                             LPWSTR text, int length) {
  return GetDateFormatEx(locale, flags, date, format, text, length, nullptr);
}

}  // namespace

CivilTime LocalNow() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  CivilTime time;
  time.year = local.wYear;
  time.month = local.wMonth;
  time.day = local.wDay;
  time.hour = local.wHour;
  time.minute = local.wMinute;
  time.second = local.wSecond;
  time.millisecond = local.wMilliseconds;
  return time;
}

std::string HostDateText(const CivilTime& time) {
  return Format(DateFormat, LOCALE_SSHORTDATE, time);
}

std::string HostTimeText(const CivilTime& time) {
  return Format(GetTimeFormatEx, LOCALE_STIMEFORMAT, time);
}

}  // namespace kx
