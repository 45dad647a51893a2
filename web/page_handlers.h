// The paths whose reply is a whole page: each checks the rights where a page is meant for
// moderators and administrators (a lower level gets the empty reply), then chooses the template,
// the title and the check-box mode for the router to render.
#pragma once

#include "web/request_context.h"

namespace kx {

void HandleAdminPage(RequestScope& scope);           // "/kxserver/admin"
void HandleCarListPage(RequestScope& scope);         // "/kxserver/carlist"
void HandleSettingsPage(RequestScope& scope);        // "/kxserver/settings"
void HandleNewUserPage(RequestScope& scope);         // "/kxserver/NewUser"
void HandleChangeUserPage(RequestScope& scope);      // "/kxserver/ChangeUser"
void HandleDeleteUserPage(RequestScope& scope);      // "/kxserver/DeleteUser"
void HandleChangePasswordPage(RequestScope& scope);  // "/kxserver/ChangePass"

}  // namespace kx
