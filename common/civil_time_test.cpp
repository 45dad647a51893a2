#include "common/civil_time.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(CivilTime, BrokenDownFormHasWeekdayAndDayOfYear) {
  const std::tm leapDay = TmOfCivil({2024, 2, 29, 13, 5, 9, 0});  // a Thursday
  EXPECT_EQ(leapDay.tm_wday, 4);
  EXPECT_EQ(leapDay.tm_yday, 59);
  EXPECT_EQ(TmOfCivil({1969, 12, 31, 0, 0, 0, 0}).tm_wday, 3);  // a Wednesday
  EXPECT_EQ(TmOfCivil({2026, 12, 31, 0, 0, 0, 0}).tm_yday, 364);
}

TEST(CivilTime, SecondsRoundTripWithinTheYearRange) {
  const CivilTime time{2010, 3, 5, 23, 30, 0, 0};
  const auto seconds = SecondsOfCivil(time);
  ASSERT_TRUE(seconds);
  EXPECT_EQ(*seconds, 1267831800);
  const auto back = CivilOfSeconds(*seconds);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->day, 5);
  EXPECT_EQ(back->hour, 23);
  EXPECT_FALSE(SecondsOfCivil({2023, 2, 29, 0, 0, 0, 0}));
  EXPECT_FALSE(CivilOfSeconds(253402300800));  // year 10000
}

}  // namespace
}  // namespace kx
