// "/kxserver/RefreshUsers" and "/kxserver/RefreshDevices": reload the user records from Users.ini
// and the vehicle registry from its source, for an outside caller (no session needed, no rights
// checked). Both answer status 200 with an empty body; sessions keep their rights and vehicles.
#pragma once

#include "web/request_context.h"

namespace kx {

void HandleRefreshUsers(RequestScope& scope);
void HandleRefreshDevices(RequestScope& scope);

}  // namespace kx
