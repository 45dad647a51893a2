#include "dispatcher/velorin_automation.h"

#include <cassert>

#include "dispatcher/link_settings.h"

namespace kx {

TVelorinAutomation::TVelorinAutomation() : TVelorinAutomation(MakeAutomationBackend()) {}

TVelorinAutomation::TVelorinAutomation(std::unique_ptr<AutomationBackend> backend)
    : backend_(std::move(backend)), owner_(std::this_thread::get_id()) {}

TVelorinAutomation::~TVelorinAutomation() = default;

void TVelorinAutomation::Connect() {
  assert(std::this_thread::get_id() == owner_ &&
         "a dispatcher link is used only on the thread that created it");
  if (connected_) return;
  const CallResult result = backend_->Connect();
  if (result.Failed()) throw AutomationError(UnreachableText(result));
  connected_ = true;
}

AutomationBackend& TVelorinAutomation::Server() {
  Connect();
  return *backend_;
}

void TVelorinAutomation::Check(std::string_view operation, const CallResult& result, int line) {
  if (!result.Failed()) return;
  AutomationError error(CallFailureText(operation, result, line));
  const RefusedCallQuestion ask = CurrentLinkSettings().askRaise;
  if (ask == nullptr || ask(error.what())) throw error;
}

template <typename Value, typename Read>
Value TVelorinAutomation::ReadValue(std::string_view operation, Read read, int line) {
  Value value{};
  Check(operation, read(Server(), value), line);
  return value;
}

int32_t TVelorinAutomation::GroupsNum() {
  return ReadValue<int32_t>("GroupsNum", [](auto& s, auto& v) { return s.GroupsNum(v); });
}

void TVelorinAutomation::GroupIndex(int32_t group) {
  Check("GroupIndex", Server().SetGroupIndex(group));
}

int32_t TVelorinAutomation::GroupCarsNum() {
  return ReadValue<int32_t>("GroupCarsNum", [](auto& s, auto& v) { return s.GroupCarsNum(v); });
}

void TVelorinAutomation::CarIndex(int32_t car) {
  Check("CarIndex", Server().SetCarIndex(car));
}

std::string TVelorinAutomation::GroupName() {
  return ReadValue<std::string>("GroupName", [](auto& s, auto& v) { return s.GroupName(v); });
}

std::string TVelorinAutomation::GroupFileName() {
  return ReadValue<std::string>("GroupFileName",
                                [](auto& s, auto& v) { return s.GroupFileName(v); });
}

int32_t TVelorinAutomation::CarDevice() {
  return ReadValue<int32_t>("CarDevice", [](auto& s, auto& v) { return s.CarDevice(v); });
}

std::string TVelorinAutomation::CarModel() {
  return ReadValue<std::string>("CarModel", [](auto& s, auto& v) { return s.CarModel(v); });
}

std::string TVelorinAutomation::CarNumber() {
  return ReadValue<std::string>("CarNumber", [](auto& s, auto& v) { return s.CarNumber(v); });
}

double TVelorinAutomation::CarLatitude() {
  return ReadValue<double>("CarLatitude", [](auto& s, auto& v) { return s.CarLatitude(v); });
}

bool TVelorinAutomation::WaitForInitializing() {
  return !Server().WaitForInitializing().Failed();
}

bool TVelorinAutomation::SetGroupIndexByFileName(std::string_view file_name) {
  return !Server().SetGroupIndexByFileName(file_name).Failed();
}

bool TVelorinAutomation::SetCarIndexByDevice(int32_t device) {
  return !Server().SetCarIndexByDevice(device).Failed();
}

bool TVelorinAutomation::StartComputing(std::string_view group_file, int32_t device,
                                        std::string_view from, std::string_view to,
                                        std::string_view source, int32_t mode) {
  return !Server().StartComputing(group_file, device, from, to, source, mode).Failed();
}

int32_t TVelorinAutomation::ComputingBusy() {
  return ReadValue<int32_t>("ComputingBusy", [](auto& s, auto& v) { return s.ComputingBusy(v); });
}

int32_t TVelorinAutomation::TripsNum() {
  return ReadValue<int32_t>("TripsNum", [](auto& s, auto& v) { return s.TripsNum(v); });
}

void TVelorinAutomation::TripIndex(int32_t trip) {
  Check("TripIndex", Server().SetTripIndex(trip));
}

bool TVelorinAutomation::ExportTrackToFile(std::string_view path, int32_t format,
                                           std::string_view text1, std::string_view text2,
                                           int32_t option1, int32_t option2, int32_t icons,
                                           int32_t gmt, int32_t option3, int32_t option4) {
  return !Server()
              .ExportTrackToFile(path, format, text1, text2, option1, option2, icons, gmt, option3,
                                 option4)
              .Failed();
}

bool TVelorinAutomation::ExportCarsToFile(std::string_view path, std::string_view devices,
                                          int32_t format, std::string_view text1,
                                          std::string_view text2, int32_t gmt, int32_t option1,
                                          int32_t option2) {
  return !Server()
              .ExportCarsToFile(path, devices, format, text1, text2, gmt, option1, option2)
              .Failed();
}

}  // namespace kx
