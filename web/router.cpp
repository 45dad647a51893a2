#include "web/router.h"

#include <algorithm>

#include "common/main_thread_gate.h"
#include "mapdata/vehicle_data_request.h"
#include "pages/template_engine.h"
#include "web/cross_site.h"
#include "web/path_handlers.h"
#include "web/sign_in_handler.h"

namespace kx {
namespace {

// Paths whose handlers run for a caller without a session: the sign-in itself, the images the
// sign-in page shows, the archives the map fetches, and the two reload requests.
bool RunsWithoutSession(int pathIndex) {
  constexpr int kOpenPaths[] = {0, 6, 8, 21, 22};
  return std::find(std::begin(kOpenPaths), std::end(kOpenPaths), pathIndex) != std::end(kOpenPaths);
}

// Requests that change stored data: accounts, passwords, display settings, the two reloads, and
// a vehicle data request for a track, which stores the user's icon mask.
bool ChangesStoredData(int pathIndex, std::string_view query) {
  constexpr int kVehicleDataPath = 3;
  constexpr int kChangingPaths[] = {10, 11, 15, 17, 19, 21, 22};
  if (pathIndex == kVehicleDataPath) return StoresIconMask(query);
  return std::find(std::begin(kChangingPaths), std::end(kChangingPaths), pathIndex) !=
         std::end(kChangingPaths);
}

// A page of another site must not make a signed-in browser change stored data: such requests
// are refused with 403 and an empty body when the browser marks them as cross-site.
bool RefusedAsCrossSite(const web::HttpExchange& exchange, int pathIndex) {
  const web::HttpRequest& request = exchange.request;
  return IsCrossSite(request.fetchSite, request.origin, request.host) &&
         ChangesStoredData(pathIndex, request.query);
}

// Looks the caller's session up and applies the guest fallback; runs inside the gate.
void IdentifyCaller(ServiceState& state, web::HttpRequest& request, RequestContext& context) {
  MainThreadSection gate;
  context.sessionListed =
      !context.sessionId.empty() && state.sessions.HasSession(context.sessionId);
  if (context.sessionListed) {
    context.login = state.sessions.SessionLogin(context.sessionId);
    context.rights = state.sessions.SessionRights(context.sessionId);
    return;
  }
  if (RunsWithoutSession(context.pathIndex)) return;
  if (state.accounts.Find(kGuestLogin) != nullptr) {
    context.pathIndex = kSignInPath;
    request.formData = kGuestSignInForm;
  } else {
    context.pathIndex = -1;
  }
}

// Unknown paths and callers who may not go on: the sign-in page with status 401.
void DefaultReply(RequestScope& scope) {
  scope.exchange.response.status = 401;
  ShowSignInPage(scope.context);
}

}  // namespace

int FindPathIndex(std::string_view path) {
  const auto it = std::find(PathTable.begin(), PathTable.end(), path);
  return it == PathTable.end() ? -1 : static_cast<int>(it - PathTable.begin());
}

void IdHTTPServer1CommandGet(ServiceState& state, web::HttpExchange& exchange) {
  web::HttpRequest& request = exchange.request;
  exchange.response.status = 200;
  RequestContext context;
  context.sessionId = request.sessionId;
  context.pathIndex = FindPathIndex(request.path);
  if (RefusedAsCrossSite(exchange, context.pathIndex)) {
    exchange.response.status = 403;
    return;
  }
  context.host = request.host;
  IdentifyCaller(state, request, context);
  context.rightsText = RightsDescription(context.rights);

  RequestScope scope{state, exchange, context};
  const PathHandler handler = HandlerOfPath(context.pathIndex);
  if (handler != nullptr) {
    handler(scope);
  } else {
    DefaultReply(scope);
  }
  if (context.page) {
    exchange.response.body = ExpandTemplate(state, *context.page, context.sessionId,
                                            context.errorText, context.checkBoxMode, context.title);
  }
}

void IdHTTPServer1SessionEnd(ServiceState& state, const std::string& sessionId) {
  MainThreadSection gate;
  state.sessions.RemoveSession(sessionId);
}

}  // namespace kx
