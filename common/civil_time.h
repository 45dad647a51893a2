// Calendar dates and clock times of the proleptic Gregorian calendar, and their conversion to and
// from seconds since 1970-01-01 00:00:00 (no time zone: a value means what its caller says, UTC
// for the dispatcher's stamps, the user's local time once a GMT offset is added). This is the
// programs' one conversion between seconds and date-time fields.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace kx {

// Seconds since 1970-01-01 00:00:00.
using UtcSeconds = int64_t;

inline constexpr UtcSeconds kSecondsPerHour = 3600;

// The years a date-time value may have. The service's date-time values cover years 1 to 9999
// (four-digit years in every text it reads or writes); a shift that leaves this range is an
// error rather than a wrapped or five-digit year.
inline constexpr int kMinCivilYear = 1;
inline constexpr int kMaxCivilYear = 9999;

struct CivilTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Seconds of a date and time (milliseconds dropped); nullopt when a field is out of its range
// (the day checked against its month) or the year is outside kMinCivilYear..kMaxCivilYear.
[[nodiscard]] std::optional<UtcSeconds> SecondsOfCivil(const CivilTime& time);

// The date and time of a number of seconds; nullopt when the year is outside the range.
[[nodiscard]] std::optional<CivilTime> CivilOfSeconds(UtcSeconds seconds);

// 00:00:00.000: a moment that users are shown as a date alone.
[[nodiscard]] bool IsMidnight(const CivilTime& time);

// The broken-down form of the C library (weekday and day of the year filled in).
[[nodiscard]] std::tm TmOfCivil(const CivilTime& time);

}  // namespace kx
