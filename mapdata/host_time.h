// The host's conventions for times shown to users: its local clock, and the short date and long
// time formats of its locale (on POSIX systems the LC_TIME locale of the environment, read once;
// the process-wide locale is never changed).
#pragma once

#include <string>

#include "common/civil_time.h"

namespace kx {

// The local date and time now, with milliseconds.
[[nodiscard]] CivilTime LocalNow();

// The date in the host's short date format, and the time in its long time format.
[[nodiscard]] std::string HostDateText(const CivilTime& time);
[[nodiscard]] std::string HostTimeText(const CivilTime& time);

// The date, then a blank and the time, except at exactly midnight, which shows the date alone.
[[nodiscard]] std::string HostDateTimeText(const CivilTime& time);

}  // namespace kx
