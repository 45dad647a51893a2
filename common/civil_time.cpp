#include "common/civil_time.h"

#include "common/civil_calendar.h"

namespace kx {
namespace {

constexpr UtcSeconds kSecondsPerDay = 24 * kSecondsPerHour;

bool YearInRange(int year) {
  return year >= kMinCivilYear && year <= kMaxCivilYear;
}

}  // namespace

std::optional<UtcSeconds> SecondsOfCivil(const CivilTime& time) {
  if (!YearInRange(time.year) || time.month < 1 || time.month > 12 || time.day < 1 ||
      time.day > DaysInMonth(time.year, time.month) || time.hour < 0 || time.hour > 23 ||
      time.minute < 0 || time.minute > 59 || time.second < 0 || time.second > 59) {
    return std::nullopt;
  }
  const int64_t day_count = DaysFromCivil({time.year, time.month, time.day});
  return day_count * kSecondsPerDay + time.hour * kSecondsPerHour + time.minute * 60 + time.second;
}

std::optional<CivilTime> CivilOfSeconds(UtcSeconds seconds) {
  // Outside these bounds the year is out of range.
  constexpr UtcSeconds kFirst = -62135596800;  // 0001-01-01 00:00:00
  constexpr UtcSeconds kEnd = 253402300800;    // 10000-01-01 00:00:00
  if (seconds < kFirst || seconds >= kEnd) return std::nullopt;
  const int64_t day_count =
      seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  const int64_t rest = seconds - day_count * kSecondsPerDay;
  const CivilDate date = CivilFromDays(day_count);
  CivilTime time;
  time.year = static_cast<int>(date.year);
  time.month = date.month;
  time.day = date.day;
  time.hour = static_cast<int>(rest / kSecondsPerHour);
  time.minute = static_cast<int>(rest % kSecondsPerHour / 60);
  time.second = static_cast<int>(rest % 60);
  return time;
}

bool IsMidnight(const CivilTime& time) {
  return time.hour == 0 && time.minute == 0 && time.second == 0 && time.millisecond == 0;
}

std::tm TmOfCivil(const CivilTime& time) {
  const int64_t day = DaysFromCivil({time.year, time.month, time.day});
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  // 1970-01-01 was a Thursday (4).
  tm.tm_wday = static_cast<int>(((day + 4) % 7 + 7) % 7);
  tm.tm_yday = static_cast<int>(day - DaysFromCivil({time.year, 1, 1}));
  tm.tm_isdst = 0;
  return tm;
}

}  // namespace kx
