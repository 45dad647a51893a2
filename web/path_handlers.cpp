#include "web/path_handlers.h"

#include <array>

#include "web/account_settings_handlers.h"
#include "web/kml_handler.h"
#include "web/page_handlers.h"
#include "web/reload_handlers.h"
#include "web/router.h"
#include "web/sign_in_handler.h"
#include "web/static_file_handler.h"
#include "web/user_admin_handlers.h"
#include "web/vehicle_data_handler.h"

namespace kx {

PathHandler HandlerOfPath(int pathIndex) {
  // One entry per path of the table; nullptr answers with the default reply.
  static constexpr std::array<PathHandler, kPathCount> kHandlers = {
      HandleSignIn,              // /kxserver/main
      HandleSignOut,             // /kxserver/unlogin
      HandleAdminPage,           // /kxserver/admin
      HandleVehicleData,         // /kxserver/car
      HandleJsFile,              // /kxserver/js
      HandleCssFile,             // /kxserver/css
      HandleImageFile,           // /kxserver/img
      HandleCarListPage,         // /kxserver/carlist
      ServeKmz,                  // /kxserver/kml
      HandleSettingsPage,        // /kxserver/settings
      HandleSaveSettings,        // /kxserver/savesettings
      HandleAddUser,             // /kxserver/AddUser
      HandleNewUserPage,         // /kxserver/NewUser
      HandleChangeUserPage,      // /kxserver/ChangeUser
      HandleGetUserInfo,         // /kxserver/GetUserInfo
      HandleSaveUser,            // /kxserver/SaveUser
      HandleDeleteUserPage,      // /kxserver/DeleteUser
      HandleUserDel,             // /kxserver/UserDel
      HandleChangePasswordPage,  // /kxserver/ChangePass
      HandleNewPass,             // /kxserver/NewPass
      HandleFavicon,             // /kxserver/favicon.ico
      HandleRefreshUsers,        // /kxserver/RefreshUsers
      HandleRefreshDevices,      // /kxserver/RefreshDevices
      nullptr,                   // the empty path: default reply
  };
  if (pathIndex < 0 || pathIndex >= static_cast<int>(kHandlers.size())) return nullptr;
  return kHandlers[static_cast<size_t>(pathIndex)];
}

}  // namespace kx
