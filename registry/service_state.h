// The process-wide state of the service: created by the start sequence, read and changed by the
// request handlers inside the main-thread gate (settings and folder are read anywhere), and
// destroyed by the stop sequence after the listener has closed.
#pragma once

#include <filesystem>
#include <memory>

#include "registry/service_settings.h"
#include "registry/session_list.h"
#include "registry/sign_in_guard.h"
#include "registry/user_accounts.h"
#include "registry/vehicle_registry.h"

namespace kx {

class TVelorinAutomation;

struct ServiceState {
  ServiceState();
  ~ServiceState();
  ServiceState(const ServiceState&) = delete;
  ServiceState& operator=(const ServiceState&) = delete;

  // Files of the service: folder / "Settings.ini", folder / "kml", ...
  [[nodiscard]] std::filesystem::path File(const std::filesystem::path& name) const {
    return folder / name;
  }

  std::filesystem::path folder;  // the service folder
  ServiceSettings settings;
  MySessionList sessions;
  // Failed sign-ins per client address; set up with the settings.
  SignInGuard signInGuard;
  UserAccounts accounts;  // the account collection sign-in checks
  MyUserParamsList userParams;
  VehicleList vehicles;
  GroupFileList groups;
  // Every registry device in registry order, the list administrators get at sign-in; rebuilt
  // with the registry.
  VehicleKeys allDevices;
  // The link of the last dispatcher load, kept until the service stops.
  std::unique_ptr<TVelorinAutomation> dispatcherLink;
};

// Rebuilds the vehicle registry from the dispatcher (UseKX set and UseDeviceList clear) or from
// DeviceList.ini in the service folder.
void LoadVehicles(ServiceState& state);

// Replaces the accounts and display settings by those of Users.ini; when reading it fails, the
// old ones stay and the error is thrown.
void ReloadUserAccounts(ServiceState& state);

}  // namespace kx
