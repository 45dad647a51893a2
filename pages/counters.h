// The visitor counters of the pages: Google Analytics, LiveInternet and HotLog, each emitted when
// its Enabled setting is not 0, with the identifiers of its settings.
#pragma once

#include <string>

#include "registry/service_settings.h"

namespace kx {

[[nodiscard]] std::string GoogleAnalyticsCounter(const ServiceSettings& settings);
[[nodiscard]] std::string LiveInternetCounter(const ServiceSettings& settings);
[[nodiscard]] std::string HotLogCounter(const ServiceSettings& settings);

}  // namespace kx
