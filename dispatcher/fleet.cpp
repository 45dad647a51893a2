#include "dispatcher/fleet.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace kx {
namespace {

[[nodiscard]] int BoundedCount(const IniFile& ini, const std::string& section, std::string_view key,
                               int limit) {
  const int count = std::max(0, ini.ReadInteger(section, key, 0));
  if (count > limit) {
    throw std::runtime_error("fleet.ini: [" + section + "] " + std::string(key) + " " +
                             std::to_string(count) + " is above the limit " +
                             std::to_string(limit));
  }
  return count;
}

[[nodiscard]] std::optional<double> ReadDouble(const IniFile& ini, const std::string& section,
                                               std::string_view key) {
  const std::string text = ini.ReadString(section, key, "");
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

[[nodiscard]] std::chrono::milliseconds ReadDelay(const IniFile& ini, std::string_view key) {
  return std::chrono::milliseconds(std::max(0, ini.ReadInteger("main", key, 0)));
}

[[nodiscard]] FleetCar ReadCar(const IniFile& ini, const std::string& section) {
  FleetCar car;
  car.device = ini.ReadInteger(section, "CarDevice", 0);
  car.model = ini.ReadString(section, "CarModel", "");
  car.number = ini.ReadString(section, "CarNumber", "");
  const auto latitude = ReadDouble(ini, section, "Latitude");
  if (!latitude) return car;
  VehiclePosition position;
  position.name = CarTitle(car);
  position.latitude = *latitude;
  position.longitude = ReadDouble(ini, section, "Longitude").value_or(0);
  position.time = ParseIsoDateTime(ini.ReadString(section, "Time", ""));
  car.position = position;
  return car;
}

[[nodiscard]] FleetGroup ReadGroup(const IniFile& ini, int g) {
  const std::string section = "group" + std::to_string(g);
  FleetGroup group;
  group.name = ini.ReadString(section, "GroupName", "");
  group.fileName = ini.ReadString(section, "GroupFileName", "");
  const int cars = BoundedCount(ini, section, "CarsNum", kMaxFleetCarsPerGroup);
  for (int c = 1; c <= cars; ++c) {
    group.cars.push_back(ReadCar(ini, section + ".car" + std::to_string(c)));
  }
  return group;
}

[[nodiscard]] std::string DecimalText(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void WriteCar(IniFile& ini, const std::string& section, const FleetCar& car) {
  ini.WriteInteger(section, "CarDevice", car.device);
  ini.WriteString(section, "CarModel", car.model);
  ini.WriteString(section, "CarNumber", car.number);
  if (!car.position) return;
  ini.WriteString(section, "Latitude", DecimalText(car.position->latitude));
  ini.WriteString(section, "Longitude", DecimalText(car.position->longitude));
  if (car.position->time) ini.WriteString(section, "Time", FormatIsoDateTime(*car.position->time));
}

}  // namespace

IniFile WriteFleet(const Fleet& fleet) {
  IniFile ini;
  ini.WriteInteger("main", "GroupsNum", static_cast<int>(fleet.groups.size()));
  ini.WriteInteger("main", "InitDelayMs", static_cast<int>(fleet.initDelay.count()));
  ini.WriteInteger("main", "ComputeMs", static_cast<int>(fleet.computeTime.count()));
  if (fleet.failAfterOps) {
    ini.WriteInteger("main", "FailAfterOps", static_cast<int>(*fleet.failAfterOps));
  }
  for (size_t g = 0; g < fleet.groups.size(); ++g) {
    const FleetGroup& group = fleet.groups[g];
    const std::string section = "group" + std::to_string(g + 1);
    ini.WriteString(section, "GroupName", group.name);
    ini.WriteString(section, "GroupFileName", group.fileName);
    ini.WriteInteger(section, "CarsNum", static_cast<int>(group.cars.size()));
    for (size_t c = 0; c < group.cars.size(); ++c) {
      WriteCar(ini, section + ".car" + std::to_string(c + 1), group.cars[c]);
    }
  }
  return ini;
}

Fleet ReadFleet(const IniFile& ini) {
  Fleet fleet;
  const int groups = BoundedCount(ini, "main", "GroupsNum", kMaxFleetGroups);
  for (int g = 1; g <= groups; ++g) fleet.groups.push_back(ReadGroup(ini, g));
  fleet.initDelay = ReadDelay(ini, "InitDelayMs");
  fleet.computeTime = ReadDelay(ini, "ComputeMs");
  const int fail_after = ini.ReadInteger("main", "FailAfterOps", -1);
  if (fail_after >= 0) fleet.failAfterOps = fail_after;
  return fleet;
}

std::optional<FleetCarRef> FindCar(const Fleet& fleet, int32_t device) {
  for (const FleetGroup& group : fleet.groups) {
    for (const FleetCar& car : group.cars) {
      if (car.device == device) return FleetCarRef{&group, &car};
    }
  }
  return std::nullopt;
}

std::optional<FleetCarRef> FindCar(const Fleet& fleet, std::string_view group_file,
                                   int32_t device) {
  for (const FleetGroup& group : fleet.groups) {
    if (group.fileName != group_file) continue;
    for (const FleetCar& car : group.cars) {
      if (car.device == device) return FleetCarRef{&group, &car};
    }
  }
  return std::nullopt;
}

std::string CarTitle(const FleetCar& car) {
  std::string title = car.model;
  if (!car.number.empty()) title += title.empty() ? car.number : " " + car.number;
  return title.empty() ? std::to_string(car.device) : title;
}

}  // namespace kx
