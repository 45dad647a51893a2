// Expansion of the built-in page templates for one request.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "pages/page_template.h"
#include "registry/service_state.h"

namespace kx {

// The page as windows-1251 bytes. Reads the session list, display settings, accounts and vehicle
// registry inside the main-thread gate; never fails (what a tag cannot compute yields nothing).
[[nodiscard]] std::string ExpandTemplate(const ServiceState& state, PageTemplate page,
                                         std::string_view sessionId, std::string_view errorText,
                                         bool checkBoxMode, std::string_view title);

// The line loop on the given lines, as UTF-8 text: a line that is exactly a known tag gives the
// tag's value without a line break, any other line is copied followed by CR LF. Nested fragments
// are the built-in ones. ExpandTemplate runs it on a built-in template and converts the result.
[[nodiscard]] std::string ExpandLines(const ServiceState& state,
                                      std::span<const std::string_view> lines,
                                      std::string_view sessionId, std::string_view errorText,
                                      bool checkBoxMode, std::string_view title);

}  // namespace kx
