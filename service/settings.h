// Reading Settings.ini.
#pragma once

#include "common/ini_file.h"
#include "registry/service_settings.h"

namespace kx {

// The settings with every default and rule applied: a missing file, section or key gives its
// default; UseDeviceList is read only when UseKX is set; a counter's identifiers only when the
// counter is enabled; DelInterval and FileTimeToLive below 1 become 1; KXServerPath gets a
// trailing separator ("/" for a path that contains "/", else "\"), and stays empty when empty.
[[nodiscard]] ServiceSettings ReadSettings(const IniFile& ini);

}  // namespace kx
