// The vehicle data request ("/kxserver/car"): the last position of a vehicle, its track over a
// period, or the last positions of the user's vehicles in a group, as a KML file in the kml
// folder packed into a KMZ archive. The answer is one line of text: "<zoom>|<map type>|<archive
// URL>" when the archive is ready, else one of the codes of car_query.h.
//
// The data comes from the dispatcher (settings UseKX non-zero) or from its last-position files
// (KXServerPath).
#pragma once

#include <string>
#include <string_view>

#include "registry/service_state.h"

namespace kx {

// The signed-in caller of a request.
struct CarCaller {
  std::string login;
  std::string sessionId;
  std::string host;  // the request's Host header, as received
};

// The whole request: parsing (outside the gate), the Icons setting of a track request (in a
// gated section of its own), and everything from the rights check to the answer in one gated
// section. Errors the request does not answer with a code (a failing dispatcher, a broken KML
// source) throw.
[[nodiscard]] std::string AnswerVehicleDataRequest(ServiceState& state, const CarCaller& caller,
                                                   std::string_view query);

// Whether the request would store the caller's icon mask: a track request read in full.
[[nodiscard]] bool StoresIconMask(std::string_view query);

}  // namespace kx
