// Track points of one vehicle as the dispatcher records them, and the split of a period's points
// into trips.
//
// Text form, one point a line: "time;latitude;longitude;speed;events" with the time in UTC as
// "yyyy-mm-dd hh:mm:ss", coordinates in degrees with a decimal point, the speed in km/h and the
// events as a decimal bit set (TrackEvent). Blank lines are ignored.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dispatcher/dispatcher_time.h"

namespace kx {

// Event bits of a track point; the map page's icon mask uses the same bits.
enum TrackEvent : uint32_t {
  kEventStop = 2,
  kEventSignalLoss = 4,
  kEventPowerLoss = 8,
  kEventSpeeding = 16,
  kEventFuel = 32,       // refuelling or draining
  kEventSensor1 = 4096,  // sensor k is kEventSensor1 << (k - 1), k = 1 ... 8
};
inline constexpr int kSensorCount = 8;

struct TrackPoint {
  UtcSeconds time = 0;
  double latitude = 0;
  double longitude = 0;
  double speed = 0;  // km/h
  uint32_t events = 0;
};

// Parses the text form; the points come back in time order (stable for equal times). A malformed
// line throws std::runtime_error naming its line number.
[[nodiscard]] std::vector<TrackPoint> ParseTrack(std::string_view text);

// One line of the text form, with its line end.
[[nodiscard]] std::string FormatTrackLine(const TrackPoint& point);

// The points whose time lies in [from, to].
[[nodiscard]] std::vector<TrackPoint> PointsInPeriod(std::span<const TrackPoint> points,
                                                     UtcSeconds from, UtcSeconds to);

// Splits points at their stop points: each maximal run of moving points is a trip, together with
// the stop point just before it and the one just after it, where they exist. Runs of stop points
// alone are no trip.
[[nodiscard]] std::vector<std::vector<TrackPoint>> SplitTrips(std::span<const TrackPoint> points);

}  // namespace kx
