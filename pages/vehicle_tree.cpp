#include "pages/vehicle_tree.h"

#include <algorithm>
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

// A session device number and its position in the session list.
struct SessionKey {
  std::string_view key;
  size_t position;
  auto operator<=>(const SessionKey&) const = default;
};

// A registry entry the session may see: its session position and its registry position.
struct Match {
  size_t session;
  size_t entry;
  auto operator<=>(const Match&) const = default;
};

// Every (session position, registry position) pair with equal numbers, ordered by session
// position and then registry position. The session's numbers are sorted once and each registry
// key is looked up among them: a user usually sees a few vehicles of a large registry, and this
// costs no allocation per registry entry (the tree is built inside the gate on every page).
std::vector<Match> MatchSessionToRegistry(std::span<const std::string> sessionVehicles,
                                          std::span<const TreeRegistryEntry> registry) {
  std::vector<SessionKey> keys;
  keys.reserve(sessionVehicles.size());
  for (size_t p = 0; p < sessionVehicles.size(); ++p) keys.push_back({sessionVehicles[p], p});
  std::sort(keys.begin(), keys.end());
  std::vector<Match> matches;
  for (size_t n = 0; n < registry.size(); ++n) {
    const auto first = std::lower_bound(keys.begin(), keys.end(), SessionKey{registry[n].key, 0});
    for (auto it = first; it != keys.end() && it->key == registry[n].key; ++it) {
      matches.push_back({it->position, n});
    }
  }
  std::sort(matches.begin(), matches.end());
  return matches;
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
  const auto filePositions = IndexFirstPositions(groupFiles);
  TreeGroups groups;
  std::vector<TreeVehicle> vehicles;
  for (const Match& match : MatchSessionToRegistry(sessionVehicles, registry)) {
    const TreeRegistryEntry& entry = registry[match.entry];
    vehicles.push_back({match.entry, GroupOf(entry, groups, filePositions, groupFiles.size())});
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
