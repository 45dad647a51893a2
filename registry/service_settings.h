// The service's configuration values: read once from Settings.ini at start-up and only read
// afterwards, from any thread, without the gate.
#pragma once

#include <chrono>
#include <string>

#include "dispatcher/link_settings.h"

namespace kx {

struct ServiceSettings {
  int port = 80;
  // Non-zero: the dispatcher is asked for everything; zero: the service works from files.
  int UseKX = 0;
  // Folder of the dispatcher's server (its LastPosition subfolder holds the last-position files);
  // ends with its separator, or is empty when not configured.
  std::string KXServerPath;
  int UseDeviceList = 0;
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
  // Address the sign-in page's logo links to; empty: the logo is shown without a link.
  std::string LogoLink;
};

}  // namespace kx
