#include "pages/map_scripts.h"

#include "pages/escape.h"

namespace kx {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

constexpr std::string_view kGoogleMapsScript =
    "https://maps.googleapis.com/maps/api/js?v=weekly&key=";

constexpr std::string_view kLeafletFiles =
    "<link rel=\"stylesheet\" type=\"text/css\" href=\"/kxserver/css?leaflet.css\" />\r\n"
    "<script type=\"text/javascript\" src=\"/kxserver/js?leaflet.js\"></script>\r\n"
    "<script type=\"text/javascript\" src=\"/kxserver/js?topojson.js\"></script>\r\n"
    "<script type=\"text/javascript\" src=\"/kxserver/js?worldoutline.js\"></script>\r\n";

bool IsUnreservedInQuery(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

// A key is one value of the address's query: anything but the unreserved characters is
// percent-encoded, so a key cannot add parameters of its own.
std::string QueryValue(std::string_view text) {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    if (IsUnreservedInQuery(c)) {
      out += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    out += '%';
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
  }
  return out;
}

void AppendJsString(std::string& out, std::string_view text) {
  out += '\'';
  AppendJsEscaped(out, text);
  out += '\'';
}

std::string GoogleMapsScript(std::string_view key) {
  std::string out = "<script type=\"text/javascript\" src=\"";
  AppendHtmlEscaped(out, std::string(kGoogleMapsScript) + QueryValue(key));
  out += "\"></script>";
  return out;
}

std::string LeafletScripts(const MapTileLayers& layers) {
  std::string out(kLeafletFiles);
  out += "<script type=\"text/javascript\">";
  out += kLineEnd;
  out += "var kxMapLayers = [";
  for (size_t type = 0; type < kMapTypeCount; ++type) {
    out += type == 0 ? "" : ",";
    out += kLineEnd;
    out += "  {name: ";
    AppendJsString(out, kMapTypeNames[type]);
    out += ", tiles: ";
    AppendJsString(out, layers[type].tiles);
    out += ", attribution: ";
    AppendJsString(out, layers[type].attribution);
    out += "}";
  }
  out += kLineEnd;
  out += "];";
  out += kLineEnd;
  out += "</script>";
  return out;
}

}  // namespace

std::string MapScripts(const ServiceSettings& settings) {
  if (!settings.GoogleMapsKey.empty()) return GoogleMapsScript(settings.GoogleMapsKey);
  return LeafletScripts(settings.mapLayers);
}

}  // namespace kx
