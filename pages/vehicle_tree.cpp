#include "pages/vehicle_tree.h"

#include <unordered_map>

#include "pages/escape.h"

namespace kx {
namespace {

struct TreeVehicle {
  size_t entry;  // registry position
  size_t group;  // position in the group list
};

struct TreeGroups {
  std::vector<std::string_view> names;
  std::vector<size_t> selectors;
  std::unordered_map<std::string_view, size_t> positionOfName;
};

// Registry positions of each key, in registry order: built once per tree so that each session
// number costs one lookup instead of a scan of the whole registry.
std::unordered_map<std::string_view, std::vector<size_t>> IndexByKey(
    std::span<const TreeRegistryEntry> registry) {
  std::unordered_map<std::string_view, std::vector<size_t>> index;
  index.reserve(registry.size());
  for (size_t n = 0; n < registry.size(); ++n) index[registry[n].key].push_back(n);
  return index;
}

// Position of the first group file of each name.
std::unordered_map<std::string_view, size_t> IndexFirstPositions(
    std::span<const std::string> names) {
  std::unordered_map<std::string_view, size_t> index;
  for (size_t i = 0; i < names.size(); ++i) index.try_emplace(names[i], i);
  return index;
}

size_t GroupOf(const TreeRegistryEntry& entry, TreeGroups& groups,
               const std::unordered_map<std::string_view, size_t>& filePositions,
               size_t fileCount) {
  const auto found = groups.positionOfName.find(entry.groupName);
  if (found != groups.positionOfName.end()) return found->second;
  const auto file = filePositions.find(entry.groupFileName);
  groups.names.push_back(entry.groupName);
  groups.selectors.push_back(file == filePositions.end() ? fileCount : file->second);
  const size_t position = groups.names.size() - 1;
  groups.positionOfName.emplace(entry.groupName, position);
  return position;
}

void AppendGroupEntry(std::string& out, size_t nodeId, std::string_view name, size_t selector,
                      bool checkBoxMode) {
  out += "d.add(" + std::to_string(nodeId) + ",0,'";
  AppendJsEscaped(out, name);
  out += checkBoxMode ? "', -1, \"this\");"
                      : "', 0, \"window.parent.GroupSelect('" + std::to_string(selector) + "')\");";
}

void AppendVehicleEntry(std::string& out, size_t nodeId, size_t parentId,
                        const TreeRegistryEntry& entry, bool checkBoxMode) {
  out += "d.add(" + std::to_string(nodeId) + "," + std::to_string(parentId) + ",'";
  AppendJsEscaped(out, entry.displayName);
  out += checkBoxMode ? "', -1,'this', " : "', 0,'window.parent.CarSelect(";
  if (!checkBoxMode) {
    AppendJsEscaped(out, entry.key);
    out += ")', ";
  }
  AppendJsEscaped(out, entry.key);
  out += ");";
}

}  // namespace

std::string BuildVehicleTree(std::span<const std::string> sessionVehicles,
                             std::span<const TreeRegistryEntry> registry,
                             std::span<const std::string> groupFiles, bool checkBoxMode) {
  const auto byKey = IndexByKey(registry);
  const auto filePositions = IndexFirstPositions(groupFiles);
  TreeGroups groups;
  std::vector<TreeVehicle> vehicles;
  for (const std::string& device : sessionVehicles) {
    const auto hits = byKey.find(device);
    if (hits == byKey.end()) continue;
    for (const size_t n : hits->second) {
      vehicles.push_back({n, GroupOf(registry[n], groups, filePositions, groupFiles.size())});
    }
  }

  std::string out;
  out.reserve(vehicles.size() * 64 + groups.names.size() * 80);
  size_t nodeId = 1;
  for (size_t j = 0; j < groups.names.size(); ++j) {
    AppendGroupEntry(out, nodeId++, groups.names[j], groups.selectors[j], checkBoxMode);
  }
  for (const TreeVehicle& vehicle : vehicles) {
    AppendVehicleEntry(out, nodeId++, vehicle.group + 1, registry[vehicle.entry], checkBoxMode);
  }
  return out;
}

}  // namespace kx
