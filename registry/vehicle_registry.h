// The vehicle registry: the vehicles the service knows, with their display names and groups, and
// the dispatcher's group file names. A group number exchanged with the pages is a position in
// GroupFileList.
//
// Two loaders rebuild both lists, one from the dispatcher, one from "DeviceList.ini" (the file
// KXReports writes). The registry holds no process-wide state itself: its owner keeps the lists
// and decides who may touch them when.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ini_file.h"
#include "dispatcher/velorin_automation.h"

namespace kx {

// Most "dev<n>" sections a device list is read for: far beyond any fleet, it keeps a corrupt
// devCount from making the service scan billions of missing sections.
inline constexpr int kMaxDeviceListEntries = 100000;

// One vehicle.
struct TCarsParams {
  int32_t device = 0;
  std::string displayName;  // always ends with " (" + device + ")"
  std::string groupName;
  std::string groupFileName;  // identifies the group in calls to the dispatcher
};

// Vehicles in loading order under their device number as decimal text. Keys may repeat; lookups
// give the first match.
class VehicleList {
 public:
  struct Entry {
    std::string key;
    TCarsParams params;
  };
  using const_iterator = std::vector<Entry>::const_iterator;

  void Clear() { entries_.clear(); }
  void Append(std::string key, TCarsParams params);

  [[nodiscard]] const TCarsParams* Find(std::string_view key) const;
  [[nodiscard]] const TCarsParams* FindDevice(int32_t device) const;

  [[nodiscard]] size_t size() const { return entries_.size(); }
  [[nodiscard]] bool empty() const { return entries_.empty(); }
  [[nodiscard]] const_iterator begin() const { return entries_.begin(); }
  [[nodiscard]] const_iterator end() const { return entries_.end(); }

 private:
  std::vector<Entry> entries_;
};

// Group file names; a name's position (from 0) is its group number.
class GroupFileList {
 public:
  using const_iterator = std::vector<std::string>::const_iterator;

  void Clear() { names_.clear(); }
  void Append(std::string file_name) { names_.push_back(std::move(file_name)); }

  // Position of the first entry equal to the name (exact comparison).
  [[nodiscard]] std::optional<size_t> IndexOf(std::string_view file_name) const;
  // The name at a position; nullptr outside the list (negative positions included).
  [[nodiscard]] const std::string* At(int64_t index) const;

  [[nodiscard]] size_t size() const { return names_.size(); }
  [[nodiscard]] bool empty() const { return names_.empty(); }
  [[nodiscard]] const_iterator begin() const { return names_.begin(); }
  [[nodiscard]] const_iterator end() const { return names_.end(); }

 private:
  std::vector<std::string> names_;
};

// Display names. From the dispatcher an empty model gives the device number with at least five
// digits; from the device list it gives an empty name. Otherwise: the model, and " - " and the
// number when there is one. Both end with " (" + device + ")".
[[nodiscard]] std::string DispatcherVehicleName(std::string_view model, std::string_view number,
                                                int32_t device);
[[nodiscard]] std::string DeviceListVehicleName(std::string_view model, std::string_view number,
                                                int32_t device);

// Empties both lists and fills them from the dispatcher: every vehicle of every group, and one
// group file name per group (empty groups and repeated names included). A failing dispatcher call
// throws AutomationError; the lists keep what was added before it.
void LoadVehiclesFromDispatcher(TVelorinAutomation& link, VehicleList& vehicles,
                                GroupFileList& groups);

// Empties both lists and fills them from a device list: the sections "dev0" ... "dev<devCount-1>"
// whose devnum is above 0, and the distinct group file names of those vehicles in order of first
// appearance.
void LoadVehiclesFromDeviceList(const IniFile& device_list, VehicleList& vehicles,
                                GroupFileList& groups);
// The same from a file; a missing file gives empty lists. A file that cannot be read throws and
// leaves the lists as they were.
void LoadVehiclesFromDeviceList(const std::filesystem::path& file, VehicleList& vehicles,
                                GroupFileList& groups);

}  // namespace kx
