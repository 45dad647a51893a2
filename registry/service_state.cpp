#include "registry/service_state.h"

#include "dispatcher/velorin_automation.h"

namespace kx {

ServiceState::ServiceState() = default;
ServiceState::~ServiceState() = default;

namespace {

void LoadVehiclesFromSource(ServiceState& state) {
  if (state.settings.UseKX != 0 && state.settings.UseDeviceList == 0) {
    // A new link per load; the one it replaces is released at once.
    state.dispatcherLink = std::make_unique<TVelorinAutomation>();
    LoadVehiclesFromDispatcher(*state.dispatcherLink, state.vehicles, state.groups);
    return;
  }
  LoadVehiclesFromDeviceList(state.File("DeviceList.ini"), state.vehicles, state.groups);
}

VehicleKeys KeysOf(const VehicleList& vehicles) {
  auto keys = std::make_shared<std::vector<std::string>>();
  keys->reserve(vehicles.size());
  for (const auto& entry : vehicles) keys->push_back(entry.key);
  return keys;
}

}  // namespace

void LoadVehicles(ServiceState& state) {
  try {
    LoadVehiclesFromSource(state);
  } catch (...) {
    // A load that fails half-way keeps what it added; the device list follows it.
    state.allDevices = KeysOf(state.vehicles);
    throw;
  }
  state.allDevices = KeysOf(state.vehicles);
}

void ReloadUserAccounts(ServiceState& state) {
  // Read into new structures and swapped in only when complete, so that a reload that fails (the
  // file cannot be read, memory runs out) keeps the accounts the service had.
  const IniFile users = IniFile::Load(state.File("Users.ini"));
  UserAccounts accounts;
  MyUserParamsList userParams;
  LoadUserAccounts(users, accounts, userParams);
  state.accounts = std::move(accounts);
  state.userParams = std::move(userParams);
}

}  // namespace kx
