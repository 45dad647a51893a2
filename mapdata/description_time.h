// The time stamp at the start of the description of a dispatcher last-position placemark, and
// the description the service writes in its place for users.
//
// The stamp is the dispatcher's clock (UTC): year at characters 1-4, month 6-7, day 9-10, hour
// 12-13, minute 15-16 and second 18-19, the characters 5, 8, 11, 14 and 17 being separators of
// any kind (2010-03-05 07:05:00). Anything after it is not read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dispatcher/dispatcher_time.h"

namespace kx {

// The stamp's time. Throws KmlError when a field is not decimal digits or names an impossible
// date or time.
[[nodiscard]] UtcSeconds DescriptionStamp(std::string_view description);

// The stamp moved by gmt hours, in the host's date and time formats (midnight as the date
// alone). Throws KmlError as above, and when the moved time leaves the years 1 to 9999.
[[nodiscard]] std::string UserDescription(std::string_view description, int32_t gmt);

}  // namespace kx
