#include "pages/map_scripts.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

ServiceSettings WithLayers(MapTileLayers layers) {
  ServiceSettings settings;
  settings.mapLayers = std::move(layers);
  return settings;
}

// The text between the script element's start and end tags of the layer definitions.
std::string LayerScript(const std::string& scripts) {
  const std::string open = "<script type=\"text/javascript\">\r\n";
  const size_t begin = scripts.rfind(open);
  const size_t end = scripts.find("</script>", begin);
  if (begin == std::string::npos || end == std::string::npos) return {};
  return scripts.substr(begin + open.size(), end - begin - open.size());
}

TEST(MapScripts, WithoutAKeyLeafletAndTheLayersInMapTypeOrder) {
  const std::string scripts = MapScripts(WithLayers({{
      {"https://a.test/{z}/{x}/{y}.png", "A"},
      {"/tiles/{z}/{x}/{y}.jpg", ""},
      {"", "C"},
  }}));
  EXPECT_EQ(scripts.find("maps.googleapis.com"), std::string::npos);
  EXPECT_NE(scripts.find("href=\"/kxserver/css?leaflet.css\""), std::string::npos);
  for (const char* name : {"leaflet.js", "topojson.js", "worldoutline.js"}) {
    EXPECT_NE(scripts.find(std::string("src=\"/kxserver/js?") + name + "\""), std::string::npos)
        << name;
  }
  EXPECT_EQ(LayerScript(scripts),
            "var kxMapLayers = [\r\n"
            "  {name: 'Карта', tiles: 'https://a.test/{z}/{x}/{y}.png', attribution: 'A'},\r\n"
            "  {name: 'Спутник', tiles: '/tiles/{z}/{x}/{y}.jpg', attribution: ''},\r\n"
            "  {name: 'Ландшафт', tiles: '', attribution: 'C'}\r\n"
            "];\r\n");
}

TEST(MapScripts, HostileLayerTextsStayInsideTheirStrings) {
  const std::string scripts = MapScripts(WithLayers({{
      {"x'};alert(1);//", "</script><script>alert(2)</script>"},
      {"javascript:alert(3)", "\"\\\n\xE2\x80\xA8"},
      {"", ""},
  }}));
  const std::string script = LayerScript(scripts);
  EXPECT_NE(script.find("tiles: 'x\\x27};alert(1);//'"), std::string::npos) << script;
  EXPECT_NE(
      script.find("attribution: '\\x3C/script\\x3E\\x3Cscript\\x3Ealert(2)\\x3C/script\\x3E'"),
      std::string::npos)
      << script;
  EXPECT_NE(script.find("attribution: '\\x22\\x5C\\x0A\\u2028'"), std::string::npos) << script;
  // Only the page's own script elements end: three files and the layers.
  size_t ends = 0;
  for (size_t at = scripts.find("</script>"); at != std::string::npos;
       at = scripts.find("</script>", at + 1)) {
    ++ends;
  }
  EXPECT_EQ(ends, 4U);
}

TEST(MapScripts, AKeyLoadsGoogleMapsWithTheKeyAsOneQueryValue) {
  ServiceSettings settings = WithLayers({});
  settings.GoogleMapsKey = "AIza_x-1.~";
  EXPECT_EQ(
      MapScripts(settings),
      "<script type=\"text/javascript\" "
      "src=\"https://maps.googleapis.com/maps/api/js?v=weekly&amp;key=AIza_x-1.~\"></script>");
  settings.GoogleMapsKey = "k\"&callback=x<>";
  EXPECT_EQ(MapScripts(settings),
            "<script type=\"text/javascript\" "
            "src=\"https://maps.googleapis.com/maps/api/js?v=weekly&amp;key="
            "k%22%26callback%3Dx%3C%3E\"></script>");
}

}  // namespace
}  // namespace kx
