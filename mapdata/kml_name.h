// Names of the files a vehicle data request leaves in the kml folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/civil_time.h"

namespace kx {

// "<32 upper-case hexadecimal digits>.kml": the MD5 of login, session id, device number (-1 for
// a group) and the local date and time now in the host's formats, taken as windows-1251 bytes.
// Requests of the same session for the same device within one second share a name, so the later
// one replaces the earlier files.
[[nodiscard]] std::string MakeKmlName(std::string_view login, std::string_view sessionId,
                                      int32_t device);

// The same for a given moment.
[[nodiscard]] std::string KmlNameAt(std::string_view login, std::string_view sessionId,
                                    int32_t device, const CivilTime& moment);

}  // namespace kx
