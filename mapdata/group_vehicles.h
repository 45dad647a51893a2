// The vehicles of a group request: which of a session's vehicles belong to the group, in the
// order the group's map lists them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "registry/vehicle_registry.h"

namespace kx {

// For each of the session's vehicles in order, each VehicleList entry in list order whose key
// equals the vehicle's text and whose group file name equals the group's. A vehicle listed twice
// in the session, or a key repeated in the registry, gives one pair per match.
[[nodiscard]] std::vector<const VehicleList::Entry*> GroupVehicles(
    const std::vector<std::string>& sessionVehicles, const VehicleList& vehicles,
    std::string_view groupFile);

// The keys of the entries joined by "," (no blanks, no trailing comma): the device list the
// dispatcher exports.
[[nodiscard]] std::string DeviceListText(const std::vector<const VehicleList::Entry*>& entries);

}  // namespace kx
