// Reading Settings.ini.
#pragma once

#include "common/ini_file.h"
#include "registry/service_settings.h"

namespace kx {

// Ten years in hours: the longest clean-up interval and time to live. It stands for "never" in
// practice, and any longer duration would overflow the clocks' nanosecond counts (a time to live
// that wraps around deletes every file at every sweep; an interval that wraps fires at once).
inline constexpr int kMaxCleanupHours = 10 * 8766;

// The settings with every default and rule applied: a missing file, section or key gives its
// default; UseDeviceList is read only when UseKX is set; a counter's identifiers only when the
// counter is enabled; DelInterval and FileTimeToLive below 1 become 1 and above
// kMaxCleanupHours become kMaxCleanupHours; MaxSessions and MaxConnections below 1 become 1;
// KXServerPath gets a trailing separator ("/" for a path that contains "/", else "\"), and stays
// empty when empty.
[[nodiscard]] ServiceSettings ReadSettings(const IniFile& ini);

}  // namespace kx
