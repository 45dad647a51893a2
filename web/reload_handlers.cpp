#include "web/reload_handlers.h"

#include "common/main_thread_gate.h"

namespace kx {

void HandleRefreshUsers(RequestScope& scope) {
  MainThreadSection gate;
  ReloadUserAccounts(scope.state);
}

void HandleRefreshDevices(RequestScope& scope) {
  MainThreadSection gate;
  LoadVehicles(scope.state);
}

}  // namespace kx
