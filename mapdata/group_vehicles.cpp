#include "mapdata/group_vehicles.h"

#include <unordered_map>

namespace kx {

std::vector<const VehicleList::Entry*> GroupVehicles(
    const std::vector<std::string>& sessionVehicles, const VehicleList& vehicles,
    std::string_view groupFile) {
  // The group's entries by key, each list in registry order: one pass over the registry instead
  // of one per session vehicle (administrators' sessions list every vehicle).
  std::unordered_map<std::string_view, std::vector<const VehicleList::Entry*>> byKey;
  for (const VehicleList::Entry& entry : vehicles) {
    if (entry.params.groupFileName == groupFile) byKey[entry.key].push_back(&entry);
  }
  std::vector<const VehicleList::Entry*> pairs;
  for (const std::string& vehicle : sessionVehicles) {
    const auto found = byKey.find(vehicle);
    if (found == byKey.end()) continue;
    pairs.insert(pairs.end(), found->second.begin(), found->second.end());
  }
  return pairs;
}

std::string DeviceListText(const std::vector<const VehicleList::Entry*>& entries) {
  std::string text;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) text += ',';
    text += entries[i]->key;
  }
  return text;
}

}  // namespace kx
