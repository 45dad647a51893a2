// Reading the open map's tile layers from Settings.ini [Map].
#pragma once

#include "common/ini_file.h"
#include "registry/service_settings.h"

namespace kx {

// The layers of [Map] RoadTiles/RoadAttribution, SatelliteTiles/SatelliteAttribution and
// TerrainTiles/TerrainAttribution. A missing key gives the public layer of its kind with the
// attribution that layer's provider requires; a key that is present is taken as written, so an
// empty attribution stays empty (a site's own tile server may need none).
[[nodiscard]] MapTileLayers ReadMapTileLayers(const IniFile& ini);

// The public layers a missing key falls back to.
[[nodiscard]] const MapTileLayers& DefaultMapTileLayers();

}  // namespace kx
