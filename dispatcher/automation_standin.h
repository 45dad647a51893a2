// The automation stand-in: a backend that serves the dispatcher's operations from a data folder,
// so that everything that talks to the dispatcher runs without it.
//
// The folder holds "fleet.ini" (fleet.h) and "tracks/<device>.csv" (track.h). A missing folder or
// fleet.ini means the server cannot be reached. Selections are 1-based and start empty; a read or
// set without a valid selection is refused. StartComputing takes the vehicle's points inside the
// period (UTC) and splits them into trips at stop points; the trips can be read once ComputingBusy
// has fallen to 0.
#pragma once

#include <chrono>
#include <filesystem>
#include <vector>

#include "dispatcher/automation_backend.h"
#include "dispatcher/fleet.h"
#include "dispatcher/track.h"

namespace kx {

class AutomationStandIn : public AutomationBackend {
 public:
  explicit AutomationStandIn(std::filesystem::path data_folder);

  [[nodiscard]] CallResult Connect() override;
  [[nodiscard]] CallResult GroupsNum(int32_t& value) override;
  [[nodiscard]] CallResult SetGroupIndex(int32_t group) override;
  [[nodiscard]] CallResult GroupCarsNum(int32_t& value) override;
  [[nodiscard]] CallResult SetCarIndex(int32_t car) override;
  [[nodiscard]] CallResult GroupName(std::string& value) override;
  [[nodiscard]] CallResult GroupFileName(std::string& value) override;
  [[nodiscard]] CallResult CarDevice(int32_t& value) override;
  [[nodiscard]] CallResult CarModel(std::string& value) override;
  [[nodiscard]] CallResult CarNumber(std::string& value) override;
  [[nodiscard]] CallResult CarLatitude(double& value) override;
  [[nodiscard]] CallResult WaitForInitializing() override;
  [[nodiscard]] CallResult SetGroupIndexByFileName(std::string_view file_name) override;
  [[nodiscard]] CallResult SetCarIndexByDevice(int32_t device) override;
  [[nodiscard]] CallResult StartComputing(std::string_view group_file, int32_t device,
                                          std::string_view from, std::string_view to,
                                          std::string_view source, int32_t mode) override;
  [[nodiscard]] CallResult ComputingBusy(int32_t& value) override;
  [[nodiscard]] CallResult TripsNum(int32_t& value) override;
  [[nodiscard]] CallResult SetTripIndex(int32_t trip) override;
  [[nodiscard]] CallResult ExportTrackToFile(std::string_view path, int32_t format,
                                             std::string_view text1, std::string_view text2,
                                             int32_t option1, int32_t option2, int32_t icons,
                                             int32_t gmt, int32_t option3,
                                             int32_t option4) override;
  [[nodiscard]] CallResult ExportCarsToFile(std::string_view path, std::string_view devices,
                                            int32_t format, std::string_view text1,
                                            std::string_view text2, int32_t gmt, int32_t option1,
                                            int32_t option2) override;

 private:
  using Clock = std::chrono::steady_clock;

  // Counts one operation; fails it once the fleet's FailAfterOps operations have been served.
  [[nodiscard]] CallResult Serve();
  [[nodiscard]] const FleetGroup* SelectedGroup() const;
  [[nodiscard]] const FleetCar* SelectedCar() const;
  [[nodiscard]] bool Computing() const;
  template <typename Value, typename Get>
  [[nodiscard]] CallResult ReadCar(Value& value, Get get);
  template <typename Value, typename Get>
  [[nodiscard]] CallResult ReadGroup(Value& value, Get get);

  std::filesystem::path folder_;
  Fleet fleet_;
  Clock::time_point connectedAt_;
  int64_t operations_ = 0;
  int32_t group_ = 0;  // 0: nothing selected
  int32_t car_ = 0;
  int32_t trip_ = 0;
  std::string tripVehicle_;  // the title of the vehicle whose trips were computed
  std::vector<std::vector<TrackPoint>> trips_;
  Clock::time_point busyUntil_;
};

}  // namespace kx
