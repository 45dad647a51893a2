// "/kxserver/car": the map page's requests for vehicle data (mapdata/vehicle_data_request.h).
#pragma once

#include "web/request_context.h"

namespace kx {

// Answers the request's query with the archive's URL or a code, as plain text.
void HandleVehicleData(RequestScope& scope);

}  // namespace kx
