// Reading the parts of a request that the handlers see as text: the path and query of the
// target, a cookie's value, and whether the body is URL-encoded form data.
#pragma once

#include <string>
#include <string_view>

namespace kx::web::detail {

struct TargetParts {
  std::string_view path;   // up to the first "?"
  std::string_view query;  // after the first "?", empty when there is none
};

[[nodiscard]] TargetParts SplitTarget(std::string_view target);

// Replaces each "%" followed by two hexadecimal digits with the byte they give. Anything else,
// including a "%" without two hexadecimal digits after it, is kept as it stands: such paths match
// no known path and get the same reply as any unknown one. "+" stays "+" (it means a space only
// in form data, not in paths).
[[nodiscard]] std::string PercentDecode(std::string_view text);

// The value of the first cookie with this exact name in a Cookie header ("a=1; b=2"), or the
// empty text when there is none.
[[nodiscard]] std::string_view FindCookie(std::string_view cookieHeader, std::string_view name);

// Whether a Content-Type value is exactly "application/x-www-form-urlencoded", letter case
// ignored, surrounding blanks allowed. A value with parameters (such as "; charset=UTF-8") does not
// count: the sign-in form that posts form data sends the bare type, and the handlers take form
// data only from such a body.
[[nodiscard]] bool IsFormContentType(std::string_view contentType);

}  // namespace kx::web::detail
