// How this process's dispatcher links reach the automation server and what they do with a read
// or set that the server refuses. Set once at start-up, before the first link is made, and only
// read afterwards (from any thread).
#pragma once

#include <string>
#include <string_view>

#include "common/ini_file.h"

namespace kx {

// The programmatic identifier of the dispatcher's automation server class VelorinAutomation,
// used when the configuration names none.
inline constexpr std::string_view kDefaultAutomationProgId = "Velorin.VelorinAutomation";

// Put to the user with the check text of a refused read or set; true raises the error, false lets
// the link carry on as if the call had succeeded (a read then gives its type's zero value).
using RefusedCallQuestion = bool (*)(const std::string& check_text);

struct LinkSettings {
  // The server the Windows links attach to or start; the Linux stand-in has no use for it.
  std::string progId{kDefaultAutomationProgId};
  // Nobody to ask (a service, a headless run): a refused call raises at once.
  RefusedCallQuestion askRaise = nullptr;
};

void ConfigureLinks(LinkSettings settings);
[[nodiscard]] const LinkSettings& CurrentLinkSettings();

// The server's identifier from [main] AutomationProgID; missing or empty gives the default.
[[nodiscard]] std::string ReadAutomationProgId(const IniFile& ini);

}  // namespace kx
