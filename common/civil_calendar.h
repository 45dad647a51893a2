// Dates of the proleptic Gregorian calendar as day counts since 1970-01-01, in 64 bits so that
// any time the programs compute (shifted stamps, file times) converts without overflow.
#pragma once

#include <cstdint>

namespace kx {

struct CivilDate {
  int64_t year;
  int month;  // 1..12
  int day;    // 1..31
};

[[nodiscard]] bool IsLeapYear(int64_t year);
// Days of a month (1..12) of a year.
[[nodiscard]] int DaysInMonth(int64_t year, int month);
// Days from 1970-01-01 to a valid date.
[[nodiscard]] int64_t DaysFromCivil(const CivilDate& date);
// The date a day count names.
[[nodiscard]] CivilDate CivilFromDays(int64_t days);

}  // namespace kx
