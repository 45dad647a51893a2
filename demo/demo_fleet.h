// The demo fleet: a few groups (one of them empty) of vehicles with Russian names, models and
// registration numbers, each with a week of tracks in and around Moscow that carries every kind
// of event. The output depends only on the end of the week: the same end gives the same fleet.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "dispatcher/dispatcher_time.h"
#include "dispatcher/fleet.h"
#include "dispatcher/track.h"

namespace kx::demo {

inline constexpr int kTrackDays = 7;

struct DemoData {
  Fleet fleet;
  // The track of each device that has one, ending at or before the end of the week. A vehicle's
  // last position is the last point of its track.
  std::map<int32_t, std::vector<TrackPoint>> tracks;
};

[[nodiscard]] DemoData MakeDemoData(UtcSeconds end);

}  // namespace kx::demo
