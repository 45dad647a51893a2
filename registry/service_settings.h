// The service's configuration values: read once from Settings.ini at start-up and only read
// afterwards, from any thread, without the gate.
#pragma once

#include <array>
#include <chrono>
#include <string>

#include "dispatcher/link_settings.h"
#include "registry/sign_in_guard.h"
#include "web/http_limits.h"

namespace kx {

// One tile layer of the open map: the address template of its tiles ({z}, {x}, {y} and
// optionally {s} for a server letter) and the attribution its provider requires (text that may
// hold links). An empty template means the layer has no tiles.
struct MapTileLayer {
  std::string tiles;
  std::string attribution;
};

// The open map's layers by map type: 0 road map, 1 satellite, 2 terrain.
inline constexpr size_t kMapTypeCount = 3;
using MapTileLayers = std::array<MapTileLayer, kMapTypeCount>;

struct ServiceSettings {
  int port = 80;
  // Non-zero: the dispatcher is asked for everything; zero: the service works from files.
  int UseKX = 0;
  // Folder of the dispatcher's server (its LastPosition subfolder holds the last-position files);
  // ends with its separator, or is empty when not configured.
  std::string KXServerPath;
  int UseDeviceList = 0;
  // Per client address and minute; 0 or below: no sign-in guard.
  int MaxFailedSignIns = kDefaultMaxFailedSignIns;
  // The dispatcher's automation server for the Windows links.
  std::string AutomationProgID{kDefaultAutomationProgId};
  int GoogleAnalyticsEnabled = 0;
  std::string GoogleAnalyticsUserID;
  int LiveInternetEnabled = 0;
  std::string LiveInternetImgID;
  int HotLogEnabled = 0;
  std::string HotLogUserID;
  std::string HotLogImgID;
  std::chrono::hours DelInterval{1};
  int FileTimeToLive = 1;  // hours
  std::string GoogleMapsKey;
  // Used when there is no GoogleMapsKey.
  MapTileLayers mapLayers{};
  // Address the sign-in page's logo links to; empty: the logo is shown without a link.
  std::string LogoLink;
  // Most live sessions; when full, a new one ends the guest session idle the longest, or the
  // signed-in session idle the longest when no guest session is left.
  int MaxSessions = static_cast<int>(web::kMaxSessions);
  // Most client connections served at once; one more is answered 503 and closed.
  int MaxConnections = static_cast<int>(web::kMaxConnections);
};

}  // namespace kx
