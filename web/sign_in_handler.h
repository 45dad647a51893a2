// Sign-in ("/kxserver/main") and sign-out ("/kxserver/unlogin").
#pragma once

#include "web/request_context.h"

namespace kx {

// The form data with which a visitor without a session is signed in as the guest.
inline constexpr char kGuestSignInForm[] = "kx_login=guest&password=";

// Shows the sign-in page, with its title, after the handler.
void ShowSignInPage(RequestContext& context);

// Checks the posted login and password (or signs a visitor in as guest), replaces the browser's
// old session with a new one and shows the map page; a failed attempt shows the sign-in page.
void HandleSignIn(RequestScope& scope);

// Ends the request's session and shows the sign-in page.
void HandleSignOut(RequestScope& scope);

}  // namespace kx
