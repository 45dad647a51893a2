#include "mapdata/description_time.h"

#include <gtest/gtest.h>

#include "mapdata/host_time.h"
#include "mapdata/kml_document.h"

namespace kx {
namespace {

CivilTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return {year, month, day, hour, minute, second, 0};
}

TEST(DescriptionTime, ShiftCrossesMidnightIntoTheNextDay) {
  EXPECT_EQ(UserDescription("2010-03-05 23:30:00 speed 40 km/h", 3),
            HostDateTimeText(At(2010, 3, 6, 2, 30, 0)));
  EXPECT_EQ(UserDescription("2012-02-28 23:00:00", 1), HostDateTimeText(At(2012, 2, 29)));
  EXPECT_EQ(UserDescription("2009-12-31 22:59:59", 2), HostDateTimeText(At(2010, 1, 1, 0, 59, 59)));
}

TEST(DescriptionTime, MidnightShowsTheDateAlone) {
  const std::string text = UserDescription("2010-03-05 21:00:00", 3);
  EXPECT_EQ(text, HostDateText(At(2010, 3, 6)));
  EXPECT_EQ(text.find(HostTimeText(At(2010, 3, 6))), std::string::npos);
  EXPECT_EQ(HostDateTimeText(At(2010, 3, 6, 0, 0, 1)),
            HostDateText(At(2010, 3, 6)) + " " + HostTimeText(At(2010, 3, 6, 0, 0, 1)));
}

TEST(DescriptionTime, SeparatorsMayBeAnyCharacter) {
  EXPECT_EQ(DescriptionStamp("2010/03/05T07:05:09"), DescriptionStamp("2010-03-05 07:05:09"));
  // Separators are counted as characters, not bytes.
  EXPECT_EQ(DescriptionStamp("2010г03м05д07ч05м09с"), DescriptionStamp("2010-03-05 07:05:09"));
}

TEST(DescriptionTime, BrokenStampsThrow) {
  for (const char* text : {"", "2010-03-05 07:05", "2010-03-05 7:05:00x", "201O-03-05 07:05:00",
                           "2010-02-30 07:05:00", "2010-03-05 24:00:00", "0000-01-01 00:00:00",
                           "2010-03-05 07:60:00", "2010--3-05 07:05:00"}) {
    EXPECT_THROW((void)DescriptionStamp(text), KmlError) << text;
  }
}

TEST(DescriptionTime, ShiftOutOfTheCalendarThrows) {
  EXPECT_THROW((void)UserDescription("9999-12-31 23:00:00", 1), KmlError);
  EXPECT_THROW((void)UserDescription("2010-03-05 07:05:00", INT32_MAX), KmlError);
  EXPECT_NO_THROW((void)UserDescription("9999-12-31 22:00:00", 1));
}

}  // namespace
}  // namespace kx
