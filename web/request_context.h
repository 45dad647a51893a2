// What the router knows about one request, handed to the path's handler and to the page
// renderer.
#pragma once

#include <optional>
#include <string>

#include "pages/page_template.h"
#include "registry/service_state.h"
#include "web/http_server.h"

namespace kx {

struct RequestContext {
  std::string sessionId;       // the request's HTTP session, replaced by a successful sign-in
  bool sessionListed = false;  // the session is in the session list
  int pathIndex = -1;
  std::string login;
  int rights = 0;
  std::string rightsText;
  std::string errorText;
  std::string title;
  std::string host;
  bool checkBoxMode = false;
  std::optional<PageTemplate> page;  // rendered after the handler when set
};

// Everything a path handler works with.
struct RequestScope {
  ServiceState& state;
  web::HttpExchange& exchange;
  RequestContext& context;
};

using PathHandler = void (*)(RequestScope&);

}  // namespace kx
