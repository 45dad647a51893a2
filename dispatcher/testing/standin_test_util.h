// Test support for code that talks to the dispatcher: a scratch folder, and a stand-in data
// folder in it built from a Fleet.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/testing/scratch_folder.h"
#include "dispatcher/automation_standin.h"
#include "dispatcher/fleet.h"
#include "dispatcher/velorin_automation.h"

namespace kx::testing {

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline FleetCar Car(int32_t device, std::string model, std::string number) {
  FleetCar car;
  car.device = device;
  car.model = std::move(model);
  car.number = std::move(number);
  return car;
}

inline FleetGroup Group(std::string name, std::string file_name, std::vector<FleetCar> cars) {
  return {std::move(name), std::move(file_name), std::move(cars)};
}

// Writes the fleet as the stand-in's data folder (folder / "fleet.ini").
inline void WriteStandInFolder(const std::filesystem::path& folder, const Fleet& fleet) {
  std::filesystem::create_directories(folder);
  WriteFleet(fleet).Save(folder / "fleet.ini");
}

inline std::unique_ptr<TVelorinAutomation> StandInLink(const std::filesystem::path& folder) {
  return std::make_unique<TVelorinAutomation>(std::make_unique<AutomationStandIn>(folder));
}

}  // namespace kx::testing
