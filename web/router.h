// The request router: the table of the service's paths, the identification of the caller (a
// listed session, an automatic guest sign-in, or nobody), the dispatch to the path's handler and
// the rendering of the page the handler chose.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "registry/service_state.h"
#include "web/http_server.h"
#include "web/request_context.h"

namespace kx {

inline constexpr size_t kPathCount = 24;

// Paths in the order they are compared; the index of the matching entry selects the handler.
inline constexpr std::array<std::string_view, kPathCount> PathTable = {
    "/kxserver/main",
    "/kxserver/unlogin",
    "/kxserver/admin",
    "/kxserver/car",
    "/kxserver/js",
    "/kxserver/css",
    "/kxserver/img",
    "/kxserver/carlist",
    "/kxserver/kml",
    "/kxserver/settings",
    "/kxserver/savesettings",
    "/kxserver/AddUser",
    "/kxserver/NewUser",
    "/kxserver/ChangeUser",
    "/kxserver/GetUserInfo",
    "/kxserver/SaveUser",
    "/kxserver/DeleteUser",
    "/kxserver/UserDel",
    "/kxserver/ChangePass",
    "/kxserver/NewPass",
    "/kxserver/favicon.ico",
    "/kxserver/RefreshUsers",
    "/kxserver/RefreshDevices",
    "",
};

inline constexpr int kSignInPath = 0;

// Index of the first entry equal to the path (exact, letter case significant), or -1.
[[nodiscard]] int FindPathIndex(std::string_view path);

// Handles one GET, POST or HEAD request.
void IdHTTPServer1CommandGet(ServiceState& state, web::HttpExchange& exchange);

// Called by the HTTP server for every session it ends: the session leaves the session list.
void IdHTTPServer1SessionEnd(ServiceState& state, const std::string& sessionId);

}  // namespace kx
