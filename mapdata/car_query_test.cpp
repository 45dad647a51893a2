#include "mapdata/car_query.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

constexpr UtcSeconds kHour = kSecondsPerHour;
constexpr UtcSeconds kDay = 24 * kHour;

// 2010-03-05 07:05:00
constexpr UtcSeconds kMarch5 = 1267772700;

TEST(CarQuery, ReadsTheThreeForms) {
  const CarQuery last = ParseCarQuery("DevNum=0012345&type=0&GMT=3", kMarch5);
  EXPECT_EQ(last.DevNum, 12345);
  EXPECT_EQ(last.Kind, kCarLastPosition);
  EXPECT_EQ(last.Gmt, 3);
  EXPECT_EQ(last.Reply, "");

  const CarQuery track = ParseCarQuery(
      "DevNum=7&type=1&BeginDate=05.03.2010_9:07&EndDate=06.03.2010_10:00:30"
      "&GMT=4&Icons=4098",
      kMarch5);
  EXPECT_EQ(track.Kind, kCarTrack);
  EXPECT_EQ(track.beginText, "05.03.2010_9:07");
  EXPECT_EQ(track.endText, "06.03.2010_10:00:30");
  EXPECT_EQ(track.Icons, 4098);
  EXPECT_TRUE(track.iconsRead);

  const CarQuery group = ParseCarQuery("GroupFileName=2&GMT=5", kMarch5);
  EXPECT_EQ(group.Kind, kCarGroup);
  EXPECT_EQ(group.groupNumber, 2);
  EXPECT_EQ(group.DevNum, -1);
  EXPECT_EQ(group.Gmt, 5);
}

TEST(CarQuery, AnythingButAFullFormIsMalformed) {
  for (const char* text :
       {"DevNum=5&type=0&GMT=3&x=1", "type=0&DevNum=5&GMT=3", "devnum=5&type=0&GMT=3",
        "DevNum=5&type=2&GMT=3", "DevNum=-5&type=0&GMT=3", "DevNum=&type=0&GMT=3",
        "DevNum=5&type=1&BeginDate=a&EndDate=&GMT=&Icons=", "GroupFileName=1&GMT=3\n", "?"}) {
    const CarQuery query = ParseCarQuery(text, kMarch5);
    EXPECT_EQ(query.Reply, kCarBadRequest) << text;
    EXPECT_EQ(query.Kind, kCarLastPosition) << text;
    EXPECT_EQ(query.DevNum, -1) << text;
  }
  EXPECT_EQ(ParseCarQuery("", kMarch5).Reply, "");
}

TEST(CarQuery, AFailedValueStopsTheReadingAndKeepsEarlierValues) {
  const CarQuery noGmt = ParseCarQuery("DevNum=5&type=0&GMT=", kMarch5);
  EXPECT_EQ(noGmt.DevNum, 5);
  EXPECT_EQ(noGmt.Gmt, 0);
  EXPECT_EQ(noGmt.Reply, kCarBadRequest);

  const CarQuery trackNoIcons =
      ParseCarQuery("DevNum=5&type=1&BeginDate=&EndDate=&GMT=3&Icons=", kMarch5);
  EXPECT_EQ(trackNoIcons.Kind, kCarLastPosition);
  EXPECT_EQ(trackNoIcons.Gmt, 3);
  EXPECT_FALSE(trackNoIcons.iconsRead);
  EXPECT_EQ(trackNoIcons.Reply, kCarBadRequest);

  const CarQuery tooLong = ParseCarQuery("DevNum=2147483648&type=0&GMT=3", kMarch5);
  EXPECT_EQ(tooLong.DevNum, -1);
  EXPECT_EQ(tooLong.Gmt, 0);
  EXPECT_EQ(tooLong.Reply, kCarBadRequest);
  EXPECT_EQ(ParseCarQuery("DevNum=2147483647&type=0&GMT=3", kMarch5).DevNum, 2147483647);

  const CarQuery groupNoGmt = ParseCarQuery("GroupFileName=1&GMT=", kMarch5);
  EXPECT_EQ(groupNoGmt.Kind, kCarLastPosition);
  EXPECT_EQ(groupNoGmt.Reply, kCarBadRequest);
}

// GMT offsets are whole hours; the largest one that keeps the local time now (kMarch5) within
// the year 9999 converts, one hour more does not.
TEST(CarQuery, GmtThatLeavesTheCalendarFailsToConvert) {
  constexpr UtcSeconds kYear10000 = 253402300800;
  const int32_t largest = static_cast<int32_t>((kYear10000 - 1 - kMarch5) / kHour);
  const std::string fits = "DevNum=5&type=0&GMT=" + std::to_string(largest);
  EXPECT_EQ(ParseCarQuery(fits, kMarch5).Gmt, largest);
  EXPECT_EQ(ParseCarQuery(fits, kMarch5).Reply, "");
  const CarQuery tooLarge =
      ParseCarQuery("DevNum=5&type=0&GMT=" + std::to_string(largest + 1), kMarch5);
  EXPECT_EQ(tooLarge.Gmt, 0);
  EXPECT_EQ(tooLarge.Reply, kCarBadRequest);
  const CarQuery track =
      ParseCarQuery("DevNum=5&type=1&BeginDate=&EndDate=&GMT=2147483647&Icons=16", kMarch5);
  EXPECT_EQ(track.Kind, kCarLastPosition);
  EXPECT_EQ(track.Reply, kCarBadRequest);
  EXPECT_FALSE(track.iconsRead);
  EXPECT_EQ(ParseCarQuery("GroupFileName=0&GMT=2147483647", kMarch5).Reply, kCarBadRequest);
}

TEST(CarQuery, PeriodTimes) {
  EXPECT_EQ(ParsePeriodTime("05.03.2010_7:05"), kMarch5);
  EXPECT_EQ(ParsePeriodTime("5.3.2010_07:05:00"), kMarch5);
  EXPECT_EQ(ParsePeriodTime("05.03.2010_07:05:59"), kMarch5 + 59);
  for (const char* text :
       {"", "99.99.2010_25:00", "29.02.2010_10:00", "05.03.2010", "05.03.10_7:05", "05.03.2010_7",
        "05.03.2010_7:05:", "05-03-2010_7:05"}) {
    EXPECT_FALSE(ParsePeriodTime(text)) << text;
  }
}

CarQuery Track(std::string begin, std::string end, int32_t gmt) {
  CarQuery query;
  query.Kind = kCarTrack;
  query.beginText = std::move(begin);
  query.endText = std::move(end);
  query.Gmt = gmt;
  return query;
}

TEST(CarQuery, PeriodIsMovedToUtc) {
  CarQuery query = Track("05.03.2010_10:05", "06.03.2010_10:05", 3);
  ApplyTrackPeriod(query, 0);
  EXPECT_EQ(query.Begin, kMarch5);
  EXPECT_EQ(query.End, kMarch5 + kDay);
  EXPECT_EQ(query.Reply, "");

  CarQuery backwards = Track("06.03.2010_7:05", "05.03.2010_7:05", 0);
  ApplyTrackPeriod(backwards, 0);
  EXPECT_EQ(backwards.Begin, kMarch5 + kDay);
  EXPECT_EQ(backwards.End, kMarch5);
}

TEST(CarQuery, SevenDaysAtMost) {
  const UtcSeconds now = kMarch5 + 100 * kDay;
  CarQuery week = Track("05.03.2010_7:05", "12.03.2010_7:05", 0);
  ApplyTrackPeriod(week, now);
  EXPECT_EQ(week.End - week.Begin, 7 * kDay);
  EXPECT_EQ(week.Reply, "");

  CarQuery longer = Track("05.03.2010_7:05", "12.03.2010_7:06", 0);
  ApplyTrackPeriod(longer, now);
  EXPECT_EQ(longer.Begin, now - kDay);
  EXPECT_EQ(longer.End, now);
  EXPECT_EQ(longer.Reply, kCarBadRequest);
}

TEST(CarQuery, PeriodMovedOutOfTheCalendarFailsToConvert) {
  CarQuery query = Track("01.01.0001_0:00", "01.01.0001_1:00", 3);
  ApplyTrackPeriod(query, kMarch5);
  EXPECT_EQ(query.Reply, kCarBadRequest);
  EXPECT_EQ(query.Kind, kCarLastPosition);
  EXPECT_EQ(query.Begin, kMarch5 - kDay);
  EXPECT_EQ(query.End, kMarch5);
}

TEST(CarQuery, UnreadablePeriodIsTheLastDayWithoutACode) {
  const UtcSeconds now = kMarch5;
  CarQuery query = Track("99.99.2010_25:00", "06.03.2010_7:05", 5);
  ApplyTrackPeriod(query, now);
  EXPECT_EQ(query.Begin, now - kDay);
  EXPECT_EQ(query.End, now);
  EXPECT_EQ(query.Reply, "");
}

}  // namespace
}  // namespace kx
