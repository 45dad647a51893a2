#include "mapdata/civil_time.h"

#include <chrono>

namespace kx {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr UtcSeconds kSecondsPerDay = 24 * kSecondsPerHour;

bool YearInRange(int year) {
  return year >= kMinCivilYear && year <= kMaxCivilYear;
}

year_month_day DateOf(const CivilTime& time) {
  return year_month_day(std::chrono::year(time.year),
                        std::chrono::month(static_cast<unsigned>(time.month)),
                        std::chrono::day(static_cast<unsigned>(time.day)));
}

}  // namespace

std::optional<UtcSeconds> SecondsOfCivil(const CivilTime& time) {
  if (!YearInRange(time.year) || time.month < 1 || time.month > 12 || time.day < 1 ||
      time.day > 31 || time.hour < 0 || time.hour > 23 || time.minute < 0 || time.minute > 59 ||
      time.second < 0 || time.second > 59) {
    return std::nullopt;
  }
  const year_month_day date = DateOf(time);
  if (!date.ok()) return std::nullopt;
  const int64_t day_count = sys_days(date).time_since_epoch().count();
  return day_count * kSecondsPerDay + time.hour * kSecondsPerHour + time.minute * 60 + time.second;
}

std::optional<CivilTime> CivilOfSeconds(UtcSeconds seconds) {
  // Outside these bounds the year is out of range anyway; checking first keeps the day count
  // within what the calendar types hold.
  constexpr UtcSeconds kFirst = -62135596800;  // 0001-01-01 00:00:00
  constexpr UtcSeconds kEnd = 253402300800;    // 10000-01-01 00:00:00
  if (seconds < kFirst || seconds >= kEnd) return std::nullopt;
  const int64_t day_count =
      seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  const int64_t rest = seconds - day_count * kSecondsPerDay;
  const year_month_day date{sys_days(days(day_count))};
  CivilTime time;
  time.year = static_cast<int>(date.year());
  time.month = static_cast<int>(static_cast<unsigned>(date.month()));
  time.day = static_cast<int>(static_cast<unsigned>(date.day()));
  time.hour = static_cast<int>(rest / kSecondsPerHour);
  time.minute = static_cast<int>(rest % kSecondsPerHour / 60);
  time.second = static_cast<int>(rest % 60);
  return time;
}

bool IsMidnight(const CivilTime& time) {
  return time.hour == 0 && time.minute == 0 && time.second == 0 && time.millisecond == 0;
}

std::tm TmOfCivil(const CivilTime& time) {
  const year_month_day date = DateOf(time);
  const sys_days day(date);
  const std::chrono::year_month_day first_of_year(date.year(), std::chrono::January,
                                                  std::chrono::day(1));
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  tm.tm_wday = static_cast<int>(std::chrono::weekday(day).c_encoding());
  tm.tm_yday = static_cast<int>((day - sys_days(first_of_year)).count());
  tm.tm_isdst = 0;
  return tm;
}

}  // namespace kx
