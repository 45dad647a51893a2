#include "dispatcher/dispatcher_time.h"

#include <charconv>
#include <cstdio>

#include "common/civil_calendar.h"

namespace kx {
namespace {

constexpr UtcSeconds kSecondsPerDay = 24 * kSecondsPerHour;

struct DateTimeFields {
  int64_t year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Reads exactly `digits` decimal digits at `offset`.
[[nodiscard]] std::optional<int> Digits(std::string_view text, size_t offset, size_t digits) {
  const std::string_view part = text.substr(offset, digits);
  int value = 0;
  const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
  if (error != std::errc() || end != part.data() + part.size() || part.size() != digits) {
    return std::nullopt;
  }
  if (part.front() == '-' || part.front() == '+') return std::nullopt;
  return value;
}

[[nodiscard]] std::optional<UtcSeconds> ToSeconds(const DateTimeFields& f) {
  if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > DaysInMonth(f.year, f.month) ||
      f.hour > 23 || f.minute > 59 || f.second > 59) {
    return std::nullopt;
  }
  return DaysFromCivil({f.year, f.month, f.day}) * kSecondsPerDay + f.hour * kSecondsPerHour +
         f.minute * 60 + f.second;
}

[[nodiscard]] DateTimeFields FromSeconds(UtcSeconds time) {
  int64_t days = time / kSecondsPerDay;
  int64_t rest = time % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  const CivilDate date = CivilFromDays(days);
  return {date.year,
          date.month,
          date.day,
          static_cast<int>(rest / kSecondsPerHour),
          static_cast<int>(rest % kSecondsPerHour / 60),
          static_cast<int>(rest % 60)};
}

// Checks the separators of a fixed-width text: `layout` holds the separator characters at their
// places and '9' where a digit goes.
[[nodiscard]] bool MatchesLayout(std::string_view text, std::string_view layout) {
  if (text.size() != layout.size()) return false;
  for (size_t i = 0; i < layout.size(); ++i) {
    if (layout[i] != '9' && text[i] != layout[i]) return false;
  }
  return true;
}

[[nodiscard]] std::optional<UtcSeconds> ParseFields(std::string_view text, std::string_view layout,
                                                    size_t year_at, size_t month_at,
                                                    size_t day_at) {
  if (!MatchesLayout(text, layout)) return std::nullopt;
  const auto year = Digits(text, year_at, 4);
  const auto month = Digits(text, month_at, 2);
  const auto day = Digits(text, day_at, 2);
  const auto hour = Digits(text, 11, 2);
  const auto minute = Digits(text, 14, 2);
  const auto second = Digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  return ToSeconds({*year, *month, *day, *hour, *minute, *second});
}

}  // namespace

std::optional<UtcSeconds> ParseIsoDateTime(std::string_view text) {
  return ParseFields(text, "9999-99-99 99:99:99", 0, 5, 8);
}

std::optional<UtcSeconds> ParseDispatcherDateTime(std::string_view text) {
  return ParseFields(text, "99.99.9999 99:99:99", 6, 3, 0);
}

std::string FormatIsoDateTime(UtcSeconds time) {
  const DateTimeFields f = FromSeconds(time);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d",
                static_cast<long long>(f.year), f.month, f.day, f.hour, f.minute, f.second);
  return text;
}

std::string FormatDispatcherDateTime(UtcSeconds time) {
  const DateTimeFields f = FromSeconds(time);
  char text[64];
  std::snprintf(text, sizeof text, "%02d.%02d.%04lld %02d:%02d:%02d", f.day, f.month,
                static_cast<long long>(f.year), f.hour, f.minute, f.second);
  return text;
}

UtcSeconds ShiftByHours(UtcSeconds time, int32_t hours) {
  return time + static_cast<UtcSeconds>(hours) * kSecondsPerHour;
}

}  // namespace kx
