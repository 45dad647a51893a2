// How the tool's dispatcher links are set up: the server named in KXReports.ini next to the
// executable ([main] AutomationProgID, link_settings.h for the default), and whether a refused
// read or set is put to the user as a question first.
#pragma once

#include <filesystem>
#include <string>

namespace kx {

// "KXReports.ini" next to the tool's executable.
[[nodiscard]] std::filesystem::path ToolSettingsFile();

// Configures the process's links; with ask_user, a refused read or set shows the check question.
void ConfigureToolLinks(bool ask_user);

// The check question for a refused read or set, captioned "HRCHECK: ". Yes raises the error, No
// carries on; Cancel, which would hand the failure to a debugger, raises it as well, since a
// user's machine has none to hand it to.
[[nodiscard]] bool AskRaiseRefusedCall(const std::string& check_text);

}  // namespace kx
