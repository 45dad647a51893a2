#include "service/map_settings.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

MapTileLayers Read(const std::string& text) {
  return ReadMapTileLayers(IniFile::FromBytes(text));
}

TEST(MapSettings, MissingKeysGiveThePublicLayersWithTheirAttributions) {
  const MapTileLayers layers = Read("[main]\nport=80\n");
  EXPECT_EQ(layers[0].tiles, "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
  EXPECT_NE(layers[0].attribution.find("OpenStreetMap</a> contributors"), std::string::npos);
  EXPECT_NE(layers[1].tiles.find("World_Imagery"), std::string::npos);
  EXPECT_NE(layers[1].attribution.find("Esri"), std::string::npos);
  EXPECT_EQ(layers[2].tiles, "https://{s}.tile.opentopomap.org/{z}/{x}/{y}.png");
  EXPECT_NE(layers[2].attribution.find("OpenTopoMap"), std::string::npos);
  EXPECT_NE(layers[2].attribution.find("OpenStreetMap"), std::string::npos);
}

TEST(MapSettings, EachKeyReplacesOnlyItsOwnValue) {
  const MapTileLayers layers = Read(
      "[map]\nroadtiles=http://tiles.fleet.local/osm/{z}/{x}/{y}.png\n"
      "TerrainAttribution=\n"
      "SatelliteTiles=\"/tiles/sat/{z}/{x}/{y}.jpg\"\nSatelliteAttribution=Imagery: fleet "
      "office\n");
  const MapTileLayers& defaults = DefaultMapTileLayers();
  EXPECT_EQ(layers[0].tiles, "http://tiles.fleet.local/osm/{z}/{x}/{y}.png");
  EXPECT_EQ(layers[0].attribution, defaults[0].attribution);
  EXPECT_EQ(layers[1].tiles, "/tiles/sat/{z}/{x}/{y}.jpg");
  EXPECT_EQ(layers[1].attribution, "Imagery: fleet office");
  EXPECT_EQ(layers[2].tiles, defaults[2].tiles);
  EXPECT_EQ(layers[2].attribution, "");  // present and empty: no attribution
}

}  // namespace
}  // namespace kx
