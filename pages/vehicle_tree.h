// The entries of the vehicle tree: the groups and vehicles a session may see, as dTree "add"
// calls for the tree page's script.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// One vehicle registry entry as the tree reads it.
struct TreeRegistryEntry {
  std::string_view key;  // the device number as decimal text
  std::string_view displayName;
  std::string_view groupName;
  std::string_view groupFileName;
};

// The tree entries for the session's device numbers (in session order) against the registry (in
// registry order) and its group file names. A device number matches every registry entry whose
// key equals it exactly, so a number listed twice in the registry gives two vehicles. Groups come
// in the order of their first vehicle, node ids count from 1 (groups first, then vehicles), and a
// group's selector is the position of its file name in `groupFiles` (its size when absent).
// Check-box mode gives every entry the flag -1 and the action "this"; otherwise vehicles call
// CarSelect and groups GroupSelect of the parent window. Names are escaped for the single-quoted
// script strings they stand in.
[[nodiscard]] std::string BuildVehicleTree(std::span<const std::string> sessionVehicles,
                                           std::span<const TreeRegistryEntry> registry,
                                           std::span<const std::string> groupFiles,
                                           bool checkBoxMode);

}  // namespace kx
