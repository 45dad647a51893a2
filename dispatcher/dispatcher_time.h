// Date-time texts of the dispatcher's data: "yyyy-mm-dd hh:mm:ss" in its data files and
// "dd.mm.yyyy hh:mm:ss" in the periods callers pass to it. Times are UTC seconds; a shift by a
// whole number of hours turns them into a user's local time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/civil_time.h"

namespace kx {

// "yyyy-mm-dd hh:mm:ss", exactly; an impossible date or time (a year 0000 included) gives
// std::nullopt.
[[nodiscard]] std::optional<UtcSeconds> ParseIsoDateTime(std::string_view text);
// "dd.mm.yyyy hh:mm:ss", exactly; an impossible date or time gives std::nullopt.
[[nodiscard]] std::optional<UtcSeconds> ParseDispatcherDateTime(std::string_view text);

// The texts have four-digit years: a time outside the years kMinCivilYear..kMaxCivilYear throws
// std::out_of_range rather than giving a malformed text.
[[nodiscard]] std::string FormatIsoDateTime(UtcSeconds time);
[[nodiscard]] std::string FormatDispatcherDateTime(UtcSeconds time);

// The time moved by a number of hours (a GMT offset); any 32-bit offset is safe.
[[nodiscard]] UtcSeconds ShiftByHours(UtcSeconds time, int32_t hours);

}  // namespace kx
