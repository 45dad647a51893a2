#include "dispatcher/automation_standin.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/atomic_file.h"
#include "common/utf8_path.h"
#include "dispatcher/kml_export.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFleetFile = "fleet.ini";
constexpr std::string_view kTracksFolder = "tracks";

[[nodiscard]] CallResult Ok() {
  return {};
}

[[nodiscard]] CallResult Refused(std::string text) {
  return {kStatusInvalidArgument, std::move(text)};
}

[[nodiscard]] CallResult Unreachable(const std::string& why) {
  return {kStatusServerExecutionFailed, "Server execution failed: " + why};
}

[[nodiscard]] std::string OutOfRange(std::string_view what, int32_t index, size_t count) {
  return std::string(what) + " " + std::to_string(index) + " is not in 1.." + std::to_string(count);
}

// The file's bytes; an empty text when it does not exist. Other failures throw.
[[nodiscard]] std::string ReadFileIfAny(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (!fs::exists(path)) return {};
    throw std::runtime_error("cannot read " + Utf8FromPath(path));
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Decimal device numbers joined by ","; the empty text is the empty list.
[[nodiscard]] std::optional<std::vector<int32_t>> ParseDeviceList(std::string_view text) {
  std::vector<int32_t> devices;
  if (text.empty()) return devices;
  while (true) {
    const size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    int32_t device = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), device);
    if (item.empty() || error != std::errc() || end != item.data() + item.size()) {
      return std::nullopt;
    }
    devices.push_back(device);
    if (comma == std::string_view::npos) return devices;
    text.remove_prefix(comma + 1);
  }
}

// Writes the document that `make` builds; a failure of either (a time that no date text can
// hold, a file that cannot be written) is the call's failure.
template <typename MakeDocument>
[[nodiscard]] CallResult WriteDocument(std::string_view path, MakeDocument make) {
  try {
    ReplaceFileAtomically(PathFromUtf8(path), make());
    return Ok();
  } catch (const std::exception& error) {
    return {kStatusUnspecifiedFailure, error.what()};
  }
}

}  // namespace

AutomationStandIn::AutomationStandIn(std::filesystem::path data_folder)
    : folder_(std::move(data_folder)) {}

CallResult AutomationStandIn::Connect() {
  if (folder_.empty() || !fs::is_directory(folder_)) {
    return Unreachable("the automation data folder \"" + Utf8FromPath(folder_) +
                       "\" does not exist");
  }
  const fs::path fleet_file = folder_ / kFleetFile;
  if (!fs::is_regular_file(fleet_file)) {
    return Unreachable("\"" + Utf8FromPath(fleet_file) + "\" does not exist");
  }
  try {
    fleet_ = ReadFleet(IniFile::Load(fleet_file));
  } catch (const std::exception& error) {
    return Unreachable(error.what());
  }
  connectedAt_ = Clock::now();
  return Ok();
}

CallResult AutomationStandIn::Serve() {
  ++operations_;
  if (fleet_.failAfterOps && operations_ > *fleet_.failAfterOps) {
    return {kStatusDisconnected, "The object invoked has disconnected from its clients."};
  }
  return Ok();
}

const FleetGroup* AutomationStandIn::SelectedGroup() const {
  return group_ > 0 ? &fleet_.groups[static_cast<size_t>(group_) - 1] : nullptr;
}

const FleetCar* AutomationStandIn::SelectedCar() const {
  const FleetGroup* group = SelectedGroup();
  if (group == nullptr || car_ == 0) return nullptr;
  return &group->cars[static_cast<size_t>(car_) - 1];
}

bool AutomationStandIn::Computing() const {
  return Clock::now() < busyUntil_;
}

template <typename Value, typename Get>
CallResult AutomationStandIn::ReadGroup(Value& value, Get get) {
  if (CallResult served = Serve(); served.Failed()) return served;
  const FleetGroup* group = SelectedGroup();
  if (group == nullptr) return Refused("no group is selected");
  value = get(*group);
  return Ok();
}

template <typename Value, typename Get>
CallResult AutomationStandIn::ReadCar(Value& value, Get get) {
  if (CallResult served = Serve(); served.Failed()) return served;
  const FleetCar* car = SelectedCar();
  if (car == nullptr) return Refused("no vehicle is selected");
  value = get(*car);
  return Ok();
}

CallResult AutomationStandIn::GroupsNum(int32_t& value) {
  if (CallResult served = Serve(); served.Failed()) return served;
  value = static_cast<int32_t>(fleet_.groups.size());
  return Ok();
}

CallResult AutomationStandIn::SetGroupIndex(int32_t group) {
  if (CallResult served = Serve(); served.Failed()) return served;
  if (group < 1 || static_cast<size_t>(group) > fleet_.groups.size()) {
    return Refused(OutOfRange("group", group, fleet_.groups.size()));
  }
  group_ = group;
  car_ = 0;
  return Ok();
}

CallResult AutomationStandIn::GroupCarsNum(int32_t& value) {
  return ReadGroup(value, [](const FleetGroup& g) { return static_cast<int32_t>(g.cars.size()); });
}

CallResult AutomationStandIn::SetCarIndex(int32_t car) {
  if (CallResult served = Serve(); served.Failed()) return served;
  const FleetGroup* group = SelectedGroup();
  if (group == nullptr) return Refused("no group is selected");
  if (car < 1 || static_cast<size_t>(car) > group->cars.size()) {
    return Refused(OutOfRange("vehicle", car, group->cars.size()));
  }
  car_ = car;
  return Ok();
}

CallResult AutomationStandIn::GroupName(std::string& value) {
  return ReadGroup(value, [](const FleetGroup& g) { return g.name; });
}

CallResult AutomationStandIn::GroupFileName(std::string& value) {
  return ReadGroup(value, [](const FleetGroup& g) { return g.fileName; });
}

CallResult AutomationStandIn::CarDevice(int32_t& value) {
  return ReadCar(value, [](const FleetCar& c) { return c.device; });
}

CallResult AutomationStandIn::CarModel(std::string& value) {
  return ReadCar(value, [](const FleetCar& c) { return c.model; });
}

CallResult AutomationStandIn::CarNumber(std::string& value) {
  return ReadCar(value, [](const FleetCar& c) { return c.number; });
}

CallResult AutomationStandIn::CarLatitude(double& value) {
  return ReadCar(value,
                 [](const FleetCar& c) { return c.position ? c.position->latitude : kNoLatitude; });
}

CallResult AutomationStandIn::WaitForInitializing() {
  if (CallResult served = Serve(); served.Failed()) return served;
  std::this_thread::sleep_until(connectedAt_ + fleet_.initDelay);
  return Ok();
}

CallResult AutomationStandIn::SetGroupIndexByFileName(std::string_view file_name) {
  if (CallResult served = Serve(); served.Failed()) return served;
  group_ = 0;
  car_ = 0;
  for (size_t g = 0; g < fleet_.groups.size(); ++g) {
    if (fleet_.groups[g].fileName != file_name) continue;
    group_ = static_cast<int32_t>(g + 1);
    return Ok();
  }
  return Refused("no group has the file name \"" + std::string(file_name) + "\"");
}

CallResult AutomationStandIn::SetCarIndexByDevice(int32_t device) {
  if (CallResult served = Serve(); served.Failed()) return served;
  car_ = 0;
  const FleetGroup* group = SelectedGroup();
  if (group == nullptr) return Refused("no group is selected");
  for (size_t c = 0; c < group->cars.size(); ++c) {
    if (group->cars[c].device != device) continue;
    car_ = static_cast<int32_t>(c + 1);
    return Ok();
  }
  return Refused("the group has no device " + std::to_string(device));
}

CallResult AutomationStandIn::StartComputing(std::string_view group_file, int32_t device,
                                             std::string_view from, std::string_view to,
                                             std::string_view /*source*/, int32_t /*mode*/) {
  if (CallResult served = Serve(); served.Failed()) return served;
  trips_.clear();
  trip_ = 0;
  const auto found = FindCar(fleet_, group_file, device);
  if (!found) return Refused("the group has no device " + std::to_string(device));
  const auto begin = ParseDispatcherDateTime(from);
  const auto end = ParseDispatcherDateTime(to);
  if (!begin || !end) return Refused("the period is not \"dd.mm.yyyy hh:mm:ss\"");
  try {
    const fs::path track = folder_ / kTracksFolder / (std::to_string(device) + ".csv");
    const std::vector<TrackPoint> points = ParseTrack(ReadFileIfAny(track));
    trips_ = SplitTrips(PointsInPeriod(points, *begin, *end));
  } catch (const std::exception& error) {
    return {kStatusUnspecifiedFailure, error.what()};
  }
  tripVehicle_ = CarTitle(*found->car);
  busyUntil_ = Clock::now() + fleet_.computeTime;
  return Ok();
}

CallResult AutomationStandIn::ComputingBusy(int32_t& value) {
  if (CallResult served = Serve(); served.Failed()) return served;
  value = Computing() ? 1 : 0;
  return Ok();
}

CallResult AutomationStandIn::TripsNum(int32_t& value) {
  if (CallResult served = Serve(); served.Failed()) return served;
  value = Computing() ? 0 : static_cast<int32_t>(trips_.size());
  return Ok();
}

CallResult AutomationStandIn::SetTripIndex(int32_t trip) {
  if (CallResult served = Serve(); served.Failed()) return served;
  const size_t available = Computing() ? 0 : trips_.size();
  if (trip < 1 || static_cast<size_t>(trip) > available) {
    return Refused(OutOfRange("trip", trip, available));
  }
  trip_ = trip;
  return Ok();
}

CallResult AutomationStandIn::ExportTrackToFile(std::string_view path, int32_t /*format*/,
                                                std::string_view /*text1*/,
                                                std::string_view /*text2*/, int32_t /*option1*/,
                                                int32_t /*option2*/, int32_t icons, int32_t gmt,
                                                int32_t /*option3*/, int32_t /*option4*/) {
  if (CallResult served = Serve(); served.Failed()) return served;
  if (trip_ == 0 || Computing()) return Refused("no trip is selected");
  const auto& trip = trips_[static_cast<size_t>(trip_) - 1];
  return WriteDocument(
      path, [&] { return TripKml(tripVehicle_, trip, static_cast<uint32_t>(icons), gmt); });
}

CallResult AutomationStandIn::ExportCarsToFile(std::string_view path, std::string_view devices,
                                               int32_t /*format*/, std::string_view /*text1*/,
                                               std::string_view /*text2*/, int32_t gmt,
                                               int32_t /*option1*/, int32_t /*option2*/) {
  if (CallResult served = Serve(); served.Failed()) return served;
  const auto list = ParseDeviceList(devices);
  if (!list) return Refused("the device list is not decimal numbers joined by \",\"");
  std::vector<VehiclePosition> positions;
  for (const int32_t device : *list) {
    const auto found = FindCar(fleet_, device);
    if (found && found->car->position) positions.push_back(*found->car->position);
  }
  return WriteDocument(path, [&] { return PositionsKml(positions, gmt); });
}

}  // namespace kx
