#include "registry/service_state.h"

#include "dispatcher/velorin_automation.h"

namespace kx {

ServiceState::ServiceState() = default;
ServiceState::~ServiceState() = default;

void LoadVehicles(ServiceState& state) {
  if (state.settings.UseKX != 0 && state.settings.UseDeviceList == 0) {
    // A new link per load; the one it replaces is released at once.
    state.dispatcherLink = std::make_unique<TVelorinAutomation>();
    LoadVehiclesFromDispatcher(*state.dispatcherLink, state.vehicles, state.groups);
    return;
  }
  LoadVehiclesFromDeviceList(state.File("DeviceList.ini"), state.vehicles, state.groups);
}

void ReloadUserAccounts(ServiceState& state) {
  const IniFile users = IniFile::Load(state.File("Users.ini"));
  state.userParams.Clear();
  state.accounts.Clear();
  LoadUserAccounts(users, state.accounts, state.userParams);
}

}  // namespace kx
