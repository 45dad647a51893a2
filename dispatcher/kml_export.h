// The KML documents the dispatcher writes for its callers: a computed trip and the last positions
// of a list of vehicles. Documents are UTF-8; every time in them is moved by the caller's GMT
// offset in hours, so a user reads local times.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "dispatcher/dispatcher_time.h"
#include "dispatcher/track.h"

namespace kx {

struct VehiclePosition {
  std::string name;  // shown as the placemark's name
  double latitude = 0;
  double longitude = 0;
  std::optional<UtcSeconds> time;
};

// One LineString placemark through the trip's points, then one point placemark for each point
// whose events share a bit with the icon mask.
[[nodiscard]] std::string TripKml(std::string_view vehicle_name, std::span<const TrackPoint> trip,
                                  uint32_t icon_mask, int32_t gmt_hours);

// One point placemark per vehicle, in the given order.
[[nodiscard]] std::string PositionsKml(std::span<const VehiclePosition> vehicles,
                                       int32_t gmt_hours);

// The text of a KML "coordinates" element for one point: longitude, latitude and altitude 0.
[[nodiscard]] std::string KmlCoordinates(double latitude, double longitude);

// Russian names of the events of a bit set, joined by ", " (bits without a name are left out).
[[nodiscard]] std::string EventNames(uint32_t events);

// The map icon file of the first event of a bit set that has one ("KX_park.gif", ..., sensors
// "KX_sens1.gif" ...); empty when none has.
[[nodiscard]] std::string EventIcon(uint32_t events);

}  // namespace kx
