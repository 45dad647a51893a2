// What the main pages load to draw the map: the Google Maps script when the site has a key,
// otherwise Leaflet with the world outline and the tile layers of the settings.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "registry/service_settings.h"

namespace kx {

// The map type names of the layer switcher, in map-type order (as the settings page names them).
inline constexpr std::array<std::string_view, kMapTypeCount> kMapTypeNames = {"Карта", "Спутник",
                                                                              "Ландшафт"};

// The page head's lines for the map. With a Google Maps key: the Maps API script, the key
// encoded for the address's query and escaped for the attribute. Without: Leaflet's style sheet,
// the scripts of Leaflet, the TopoJSON reader and the outline, and a script defining
// kxMapLayers, one {name, tiles, attribution} per map type; the settings' texts stand in
// JavaScript string literals escaped so that no value can end its string or the script.
[[nodiscard]] std::string MapScripts(const ServiceSettings& settings);

}  // namespace kx
