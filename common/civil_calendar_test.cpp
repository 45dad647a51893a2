#include "common/civil_calendar.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(CivilCalendar, KnownDaysAndEveryDayOfFourHundredYearsRoundTrip) {
  EXPECT_EQ(DaysFromCivil({1970, 1, 1}), 0);
  EXPECT_EQ(DaysFromCivil({2000, 3, 1}), 11017);
  EXPECT_EQ(DaysFromCivil({1601, 1, 1}), -134774);
  EXPECT_EQ(DaysFromCivil({1969, 12, 31}), -1);
  // Every day from 1800 to 2200 converts both ways and follows the day before it.
  int64_t expected = DaysFromCivil({1800, 1, 1});
  for (int64_t year = 1800; year < 2200; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day, ++expected) {
        ASSERT_EQ(DaysFromCivil({year, month, day}), expected);
        const CivilDate back = CivilFromDays(expected);
        ASSERT_EQ(back.year, year);
        ASSERT_EQ(back.month, month);
        ASSERT_EQ(back.day, day);
      }
    }
  }
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2000));
}

}  // namespace
}  // namespace kx
