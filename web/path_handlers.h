// The handlers of the router's paths.
#pragma once

#include "web/request_context.h"

namespace kx {

// The handler of a path index, or nullptr where the router's default reply answers.
[[nodiscard]] PathHandler HandlerOfPath(int pathIndex);

}  // namespace kx
