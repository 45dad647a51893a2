#include "dispatcher/track.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kx {
namespace {

TrackPoint At(UtcSeconds time, uint32_t events = 0) {
  TrackPoint point;
  point.time = time;
  point.events = events;
  return point;
}

std::vector<UtcSeconds> Times(const std::vector<TrackPoint>& points) {
  std::vector<UtcSeconds> times;
  for (const TrackPoint& p : points) times.push_back(p.time);
  return times;
}

TEST(TrackText, ParsesLinesInTimeOrderAndRoundTrips) {
  const auto points = ParseTrack(
      "2010-03-05 07:06:00;55.75;37.61;42.5;18\r\n\r\n"
      "2010-03-05 07:05:00;-33.5;151.25;0;2\n");
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(FormatIsoDateTime(points[0].time), "2010-03-05 07:05:00");
  EXPECT_DOUBLE_EQ(points[0].latitude, -33.5);
  EXPECT_EQ(points[1].events, kEventStop | kEventSpeeding);
  EXPECT_DOUBLE_EQ(points[1].speed, 42.5);
  const auto again = ParseTrack(FormatTrackLine(points[0]) + FormatTrackLine(points[1]));
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[1].time, points[1].time);
  EXPECT_DOUBLE_EQ(again[1].longitude, 37.61);
}

TEST(TrackText, MalformedLinesNameTheirLine) {
  for (const char* bad : {"2010-03-05 07:05:00;55;37;0", "2010-03-05 07:05:00;55;37;0;1;9",
                          "2010-03-05 07:05:00;55,5;37;0;1", "2010-03-05;55;37;0;1",
                          "2010-03-05 07:05:00;55;37;0;-1"}) {
    try {
      (void)ParseTrack(std::string("2010-03-05 07:00:00;1;2;3;0\n") + bad);
      ADD_FAILURE() << bad;
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "track line 2 is malformed") << bad;
    }
  }
}

TEST(TrackTrips, TripsRunBetweenStopsAndIncludeThem) {
  // S a b S S c S: two trips, each with the stops around it.
  const std::vector<TrackPoint> points = {At(1, kEventStop),
                                          At(2),
                                          At(3),
                                          At(4, kEventStop | kEventFuel),
                                          At(5, kEventStop),
                                          At(6, kEventSpeeding),
                                          At(7, kEventStop)};
  const auto trips = SplitTrips(points);
  ASSERT_EQ(trips.size(), 2u);
  EXPECT_EQ(Times(trips[0]), (std::vector<UtcSeconds>{1, 2, 3, 4}));
  EXPECT_EQ(Times(trips[1]), (std::vector<UtcSeconds>{5, 6, 7}));
}

TEST(TrackTrips, OpenEndsAndStopsAlone) {
  EXPECT_EQ(Times(SplitTrips(std::vector{At(1), At(2)}).at(0)), (std::vector<UtcSeconds>{1, 2}));
  const auto open = SplitTrips(std::vector{At(1), At(2, kEventStop), At(3)});
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(Times(open[0]), (std::vector<UtcSeconds>{1, 2}));
  EXPECT_EQ(Times(open[1]), (std::vector<UtcSeconds>{2, 3}));
  EXPECT_TRUE(SplitTrips(std::vector{At(1, kEventStop), At(2, kEventStop)}).empty());
  EXPECT_TRUE(SplitTrips(std::vector<TrackPoint>{}).empty());
}

TEST(TrackTrips, PeriodIncludesBothEnds) {
  const std::vector<TrackPoint> points = {At(1), At(2), At(3), At(4)};
  EXPECT_EQ(Times(PointsInPeriod(points, 2, 3)), (std::vector<UtcSeconds>{2, 3}));
  EXPECT_TRUE(PointsInPeriod(points, 3, 2).empty());
}

}  // namespace
}  // namespace kx
