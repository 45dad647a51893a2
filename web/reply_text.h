// The plain-text replies of the scripted requests (administration, password, map data): status
// 200, content type "text/plain" and a short body, mostly a one-digit code.
#pragma once

#include <string_view>

#include "web/request_context.h"

namespace kx {

// The codes of the administration and password requests. Each request documents what its
// refusals mean.
inline constexpr char kReplyDone[] = "0";
inline constexpr char kReplyRefused[] = "1";   // bad parameters, or beyond the caller's rights
inline constexpr char kReplyDeclined[] = "2";  // allowed, but the stored data says no

void ReplyText(RequestScope& scope, std::string_view text);

}  // namespace kx
