#include "service/settings.h"

#include <algorithm>

#include "service/map_settings.h"

namespace kx {
namespace {

// A path that already ends with a backslash is kept as given; any other gets a separator: "/"
// when it holds one (a POSIX path), else a backslash. An empty path stays empty: there is no
// dispatcher folder to point into, and the file-mode lookups then find no file instead of
// reading from the file system's root.
std::string WithTrailingSeparator(std::string path) {
  if (path.empty() || path.back() == '\\') return path;
  const bool posix = path.find('/') != std::string::npos;
  if (!posix) return path + '\\';
  if (path.back() != '/') path += '/';
  return path;
}

[[nodiscard]] int CleanupHours(const IniFile& ini, std::string_view key) {
  return std::clamp(ini.ReadInteger("main", key, 1), 1, kMaxCleanupHours);
}

}  // namespace

ServiceSettings ReadSettings(const IniFile& ini) {
  ServiceSettings settings;
  settings.port = ini.ReadInteger("main", "port", 80);
  settings.UseKX = ini.ReadInteger("main", "UseKX", 0);
  settings.KXServerPath = WithTrailingSeparator(ini.ReadString("main", "KXServerPath", ""));
  settings.AutomationProgID = ReadAutomationProgId(ini);
  if (settings.UseKX != 0) settings.UseDeviceList = ini.ReadInteger("main", "UseDeviceList", 0);
  settings.MaxFailedSignIns =
      ini.ReadInteger("main", "MaxFailedSignIns", settings.MaxFailedSignIns);

  settings.GoogleAnalyticsEnabled = ini.ReadInteger("GoogleAnalytics", "Enabled", 0);
  settings.LiveInternetEnabled = ini.ReadInteger("LiveInternet", "Enabled", 0);
  settings.HotLogEnabled = ini.ReadInteger("HotLog", "Enabled", 0);
  if (settings.GoogleAnalyticsEnabled != 0) {
    settings.GoogleAnalyticsUserID = ini.ReadString("GoogleAnalytics", "UserID", "");
  }
  if (settings.LiveInternetEnabled != 0) {
    settings.LiveInternetImgID = ini.ReadString("LiveInternet", "ImgID", "");
  }
  if (settings.HotLogEnabled != 0) {
    settings.HotLogUserID = ini.ReadString("HotLog", "UserID", "");
    settings.HotLogImgID = ini.ReadString("HotLog", "ImgID", "");
  }

  settings.DelInterval = std::chrono::hours(CleanupHours(ini, "DelInterval"));
  settings.FileTimeToLive = CleanupHours(ini, "FileTimeToLive");
  settings.GoogleMapsKey = ini.ReadString("GoogleMaps", "Key", "");
  settings.mapLayers = ReadMapTileLayers(ini);
  settings.LogoLink = ini.ReadString("main", "LogoLink", "");
  settings.MaxSessions = std::max(1, ini.ReadInteger("main", "MaxSessions", settings.MaxSessions));
  settings.MaxConnections =
      std::max(1, ini.ReadInteger("main", "MaxConnections", settings.MaxConnections));
  return settings;
}

}  // namespace kx
