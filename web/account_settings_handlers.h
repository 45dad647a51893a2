// The requests with which every signed-in user changes what belongs to it alone, acting on the
// login of the caller's session (a guest session on "guest"):
// - "/kxserver/NewPass": the password; plain text "0" done, "1" bad parameters, "2" old password
//   wrong;
// - "/kxserver/savesettings": the page layout; status 200 with an empty body, never refused.
// Each saves its change to Users.ini atomically before memory changes; a failed save ends the
// request with the server's error reply and changes nothing.
#pragma once

#include "web/request_context.h"

namespace kx {

void HandleNewPass(RequestScope& scope);
void HandleSaveSettings(RequestScope& scope);

}  // namespace kx
