#include "service/map_settings.h"

namespace kx {
namespace {

constexpr std::string_view kSection = "Map";

// The key names of each layer, in map-type order.
struct LayerKeys {
  std::string_view tiles;
  std::string_view attribution;
};
constexpr std::array<LayerKeys, kMapTypeCount> kLayerKeys = {{
    {"RoadTiles", "RoadAttribution"},
    {"SatelliteTiles", "SatelliteAttribution"},
    {"TerrainTiles", "TerrainAttribution"},
}};

constexpr std::string_view kOpenStreetMap =
    "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors";

}  // namespace

const MapTileLayers& DefaultMapTileLayers() {
  // The OpenStreetMap standard layer; Esri World Imagery, free to view with its attribution;
  // OpenTopoMap, whose style is CC-BY-SA and whose relief comes from SRTM.
  static const MapTileLayers kDefaults = {{
      {"https://tile.openstreetmap.org/{z}/{x}/{y}.png", std::string(kOpenStreetMap)},
      {"https://server.arcgisonline.com/ArcGIS/rest/services/World_Imagery/MapServer/tile/{z}/{y}/"
       "{x}",
       "Tiles &copy; <a href=\"https://www.esri.com\">Esri</a> &mdash; Source: Esri, i-cubed, "
       "USDA, USGS, AEX, GeoEye, Getmapping, Aerogrid, IGN, IGP, UPR-EGP, and the GIS User "
       "Community"},
      {"https://{s}.tile.opentopomap.org/{z}/{x}/{y}.png",
       "Map data: " + std::string(kOpenStreetMap) +
           ", <a href=\"http://viewfinderpanoramas.org\">SRTM</a> | Map style: &copy; <a "
           "href=\"https://opentopomap.org\">OpenTopoMap</a> (<a "
           "href=\"https://creativecommons.org/licenses/by-sa/3.0/\">CC-BY-SA</a>)"},
  }};
  return kDefaults;
}

MapTileLayers ReadMapTileLayers(const IniFile& ini) {
  MapTileLayers layers = DefaultMapTileLayers();
  for (size_t type = 0; type < kMapTypeCount; ++type) {
    const LayerKeys& keys = kLayerKeys[type];
    MapTileLayer& layer = layers[type];
    layer.tiles = ini.ReadString(kSection, keys.tiles, layer.tiles);
    layer.attribution = ini.ReadString(kSection, keys.attribution, layer.attribution);
  }
  return layers;
}

}  // namespace kx
