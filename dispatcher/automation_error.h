// Failures of a dispatcher link.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "dispatcher/automation_backend.h"

namespace kx {

// A link that could not reach the server, or a read or set that the server refused. The message
// is the system's text for an unreachable server, and the check text of a refused call. The
// check is never put to the user as a question: the call raises at once (a service has nobody to
// ask, and carrying on would hand the caller values the server never gave), and an interactive
// tool shows the message in its error box.
class AutomationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The check text of a refused call: "'<operation>': <system text> @ Velorin_OCX/<line>", or, when
// the system has no text for the status, "(<operation>) Error: <hex> (<decimal>) @ Velorin_OCX/
// <line>".
[[nodiscard]] std::string CallFailureText(std::string_view operation, const CallResult& result,
                                          int line);

}  // namespace kx
