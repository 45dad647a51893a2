// The automation stand-in's picture of the dispatcher's fleet, read from "fleet.ini"
// (windows-1251):
//
//   [main]   GroupsNum; InitDelayMs (how long WaitForInitializing takes, default 0);
//            ComputeMs (how long ComputingBusy stays non-zero after StartComputing, default 0);
//            FailAfterOps (for failure tests: after this many operations every further operation
//            of the link fails, as when the server dies; absent or negative: never).
//   [group<g>] for g = 1 ... GroupsNum: GroupName, GroupFileName, CarsNum.
//   [group<g>.car<c>] for c = 1 ... CarsNum: CarDevice, CarModel, CarNumber, and the last position
//            Latitude, Longitude (decimal point) and Time (UTC, "yyyy-mm-dd hh:mm:ss"); a car
//            without Latitude has no position.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/ini_file.h"
#include "dispatcher/kml_export.h"

namespace kx {

// Bounds on the counts a fleet file may state; far above any real fleet, they stop a mistyped
// count from making the stand-in loop over billions of missing sections.
inline constexpr int kMaxFleetGroups = 10000;
inline constexpr int kMaxFleetCarsPerGroup = 100000;

struct FleetCar {
  int32_t device = 0;
  std::string model;
  std::string number;
  std::optional<VehiclePosition> position;  // its name is the car's display text
};

struct FleetGroup {
  std::string name;
  std::string fileName;
  std::vector<FleetCar> cars;
};

struct Fleet {
  std::vector<FleetGroup> groups;
  std::chrono::milliseconds initDelay{0};
  std::chrono::milliseconds computeTime{0};
  std::optional<int64_t> failAfterOps;
};

// Reads a fleet file's contents. Counts beyond the bounds throw std::runtime_error.
[[nodiscard]] Fleet ReadFleet(const IniFile& ini);

// The fleet file's contents for a fleet; ReadFleet gives the fleet back (position names aside,
// which follow from the cars).
[[nodiscard]] IniFile WriteFleet(const Fleet& fleet);

// The first car with the device number in any group, with its group; nullopt when there is none.
struct FleetCarRef {
  const FleetGroup* group;
  const FleetCar* car;
};
[[nodiscard]] std::optional<FleetCarRef> FindCar(const Fleet& fleet, int32_t device);
[[nodiscard]] std::optional<FleetCarRef> FindCar(const Fleet& fleet, std::string_view group_file,
                                                 int32_t device);

// The text the stand-in shows for a car: model and number, or the device number when both are
// empty.
[[nodiscard]] std::string CarTitle(const FleetCar& car);

}  // namespace kx
