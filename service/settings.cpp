#include "service/settings.h"

#include <algorithm>

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

}  // namespace

ServiceSettings ReadSettings(const IniFile& ini) {
  ServiceSettings settings;
  settings.port = ini.ReadInteger("main", "port", 80);
  settings.UseKX = ini.ReadInteger("main", "UseKX", 0);
  settings.KXServerPath = WithTrailingSeparator(ini.ReadString("main", "KXServerPath", ""));
  settings.AutomationProgID = ReadAutomationProgId(ini);
  if (settings.UseKX != 0) settings.UseDeviceList = ini.ReadInteger("main", "UseDeviceList", 0);

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

  settings.DelInterval = std::chrono::hours(std::max(1, ini.ReadInteger("main", "DelInterval", 1)));
  settings.FileTimeToLive = std::max(1, ini.ReadInteger("main", "FileTimeToLive", 1));
  settings.GoogleMapsKey = ini.ReadString("GoogleMaps", "Key", "");
  settings.LogoLink = ini.ReadString("main", "LogoLink", "");
  return settings;
}

}  // namespace kx
