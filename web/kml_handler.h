// "/kxserver/kml?<name>.kmz": the archives of the kml folder, fetched by the map without a
// session.
#pragma once

#include <string_view>

#include "web/request_context.h"

namespace kx {

// True for the archive names that are served: one or more upper-case hexadecimal digits and
// ".kmz", the names the vehicle data request gives its archives; nothing that leaves the folder.
[[nodiscard]] bool IsArchiveName(std::string_view query);

// Sends the named archive as the body. Only names of one or more upper-case hexadecimal digits
// and ".kmz" (the names the vehicle data request gives its archives) are served, so no request
// reaches beyond the kml folder; a link in the folder that leads out of it counts as missing. A
// malformed name or a missing archive leaves the default reply (status 200, empty body); an
// archive that cannot be opened fails the request.
void ServeKmz(RequestScope& scope);

}  // namespace kx
