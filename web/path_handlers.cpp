#include "web/path_handlers.h"

#include <array>

#include "web/router.h"
#include "web/sign_in_handler.h"

namespace kx {

PathHandler HandlerOfPath(int pathIndex) {
  // One entry per path of the table; nullptr answers with the default reply.
  static constexpr std::array<PathHandler, kPathCount> kHandlers = {
      HandleSignIn,   // /kxserver/main
      HandleSignOut,  // /kxserver/unlogin
      nullptr,        // /kxserver/admin
      nullptr,        // /kxserver/car
      nullptr,        // /kxserver/js
      nullptr,        // /kxserver/css
      nullptr,        // /kxserver/img
      nullptr,        // /kxserver/carlist
      nullptr,        // /kxserver/kml
      nullptr,        // /kxserver/settings
      nullptr,        // /kxserver/savesettings
      nullptr,        // /kxserver/AddUser
      nullptr,        // /kxserver/NewUser
      nullptr,        // /kxserver/ChangeUser
      nullptr,        // /kxserver/GetUserInfo
      nullptr,        // /kxserver/SaveUser
      nullptr,        // /kxserver/DeleteUser
      nullptr,        // /kxserver/UserDel
      nullptr,        // /kxserver/ChangePass
      nullptr,        // /kxserver/NewPass
      nullptr,        // /kxserver/favicon.ico
      nullptr,        // /kxserver/RefreshUsers
      nullptr,        // /kxserver/RefreshDevices
      nullptr,        // the empty path: default reply
  };
  if (pathIndex < 0 || pathIndex >= static_cast<int>(kHandlers.size())) return nullptr;
  return kHandlers[static_cast<size_t>(pathIndex)];
}

}  // namespace kx
