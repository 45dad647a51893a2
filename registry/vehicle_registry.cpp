#include "registry/vehicle_registry.h"

#include <algorithm>
#include <cstdio>

namespace kx {
namespace {

// Device numbers from the dispatcher without a model are shown with at least this many digits.
constexpr int kPaddedDeviceDigits = 5;

[[nodiscard]] std::string WithDevice(std::string name, int32_t device) {
  return name + " (" + std::to_string(device) + ")";
}

[[nodiscard]] std::string ModelAndNumber(std::string_view model, std::string_view number) {
  std::string name(model);
  if (!number.empty()) name += " - " + std::string(number);
  return name;
}

[[nodiscard]] std::string PaddedDevice(int32_t device) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*d", kPaddedDeviceDigits, device);
  return text;
}

// Appends the cars of the selected group.
void LoadGroupCars(TVelorinAutomation& link, int32_t cars, const std::string& group_file,
                   VehicleList& vehicles) {
  if (cars <= 0) return;
  const std::string group_name = link.GroupName();
  for (int32_t c = 1; c <= cars; ++c) {
    link.CarIndex(c);
    const std::string model = link.CarModel();
    const std::string number = model.empty() ? std::string() : link.CarNumber();
    const int32_t device = link.CarDevice();
    vehicles.Append(std::to_string(device),
                    {device, DispatcherVehicleName(model, number, device), group_name, group_file});
  }
}

void LoadDeviceSection(const IniFile& ini, const std::string& section, VehicleList& vehicles,
                       GroupFileList& groups) {
  const int device = ini.ReadInteger(section, "devnum", -1);
  if (device <= 0) return;
  const std::string model = ini.ReadString(section, "carmodel", "");
  const std::string number =
      model.empty() ? std::string() : ini.ReadString(section, "carnumber", "");
  std::string group_file = ini.ReadString(section, "groupfile", "");
  if (!groups.IndexOf(group_file)) groups.Append(group_file);
  vehicles.Append(std::to_string(device),
                  {device, DeviceListVehicleName(model, number, device),
                   ini.ReadString(section, "groupname", ""), std::move(group_file)});
}

}  // namespace

void VehicleList::Append(std::string key, TCarsParams params) {
  entries_.push_back({std::move(key), std::move(params)});
}

const TCarsParams* VehicleList::Find(std::string_view key) const {
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [key](const Entry& entry) { return entry.key == key; });
  return found == entries_.end() ? nullptr : &found->params;
}

const TCarsParams* VehicleList::FindDevice(int32_t device) const {
  return Find(std::to_string(device));
}

std::optional<size_t> GroupFileList::IndexOf(std::string_view file_name) const {
  const auto found = std::find(names_.begin(), names_.end(), file_name);
  if (found == names_.end()) return std::nullopt;
  return static_cast<size_t>(found - names_.begin());
}

const std::string* GroupFileList::At(int64_t index) const {
  if (index < 0 || static_cast<uint64_t>(index) >= names_.size()) return nullptr;
  return &names_[static_cast<size_t>(index)];
}

std::string DispatcherVehicleName(std::string_view model, std::string_view number, int32_t device) {
  return WithDevice(model.empty() ? PaddedDevice(device) : ModelAndNumber(model, number), device);
}

std::string DeviceListVehicleName(std::string_view model, std::string_view number, int32_t device) {
  return WithDevice(model.empty() ? std::string() : ModelAndNumber(model, number), device);
}

void LoadVehiclesFromDispatcher(TVelorinAutomation& link, VehicleList& vehicles,
                                GroupFileList& groups) {
  vehicles.Clear();
  groups.Clear();
  const int32_t group_count = link.GroupsNum();
  for (int32_t g = 1; g <= group_count; ++g) {
    link.GroupIndex(g);
    const int32_t cars = link.GroupCarsNum();
    std::string group_file = link.GroupFileName();
    groups.Append(group_file);
    LoadGroupCars(link, cars, group_file, vehicles);
  }
}

void LoadVehiclesFromDeviceList(const IniFile& device_list, VehicleList& vehicles,
                                GroupFileList& groups) {
  vehicles.Clear();
  groups.Clear();
  const int count = std::min(device_list.ReadInteger("main", "devCount", 0), kMaxDeviceListEntries);
  for (int j = 0; j < count; ++j) {
    LoadDeviceSection(device_list, "dev" + std::to_string(j), vehicles, groups);
  }
}

void LoadVehiclesFromDeviceList(const std::filesystem::path& file, VehicleList& vehicles,
                                GroupFileList& groups) {
  LoadVehiclesFromDeviceList(IniFile::Load(file), vehicles, groups);
}

}  // namespace kx
