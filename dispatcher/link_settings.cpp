#include "dispatcher/link_settings.h"

namespace kx {
namespace {

[[nodiscard]] LinkSettings& Settings() {
  static LinkSettings settings;
  return settings;
}

}  // namespace

void ConfigureLinks(LinkSettings settings) {
  Settings() = std::move(settings);
}

const LinkSettings& CurrentLinkSettings() {
  return Settings();
}

std::string ReadAutomationProgId(const IniFile& ini) {
  std::string prog_id = ini.ReadString("main", "AutomationProgID", "");
  if (prog_id.empty()) return std::string(kDefaultAutomationProgId);
  return prog_id;
}

}  // namespace kx
