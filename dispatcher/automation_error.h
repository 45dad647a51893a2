// Failures of a dispatcher link.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "dispatcher/automation_backend.h"

namespace kx {

// A link that could not reach the server, or a read or set that the server refused. The message
// is the system's text for an unreachable server, and the check text of a refused call. Whether a
// refused call raises at once or asks the user first is the process's choice (link_settings.h): a
// service has nobody to ask and raises at once; the export tool's window asks.
class AutomationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message of a link that cannot reach the server: the system's text for the status, or, when
// the system has none, "Error 0x<hex>".
[[nodiscard]] std::string UnreachableText(const CallResult& result);

// The check text of a refused call: "'<operation>': <system text> @ Velorin_OCX/<line>", or, when
// the system has no text for the status, "(<operation>) Error: <hex> (<decimal>) @ Velorin_OCX/
// <line>".
[[nodiscard]] std::string CallFailureText(std::string_view operation, const CallResult& result,
                                          int line);

}  // namespace kx
