#include "pages/counters.h"

#include "pages/escape.h"

namespace kx {
namespace {

// Addresses the counter services publish for their snippets.
constexpr std::string_view kGoogleAnalyticsSecureHost = "https://ssl.";
constexpr std::string_view kGoogleAnalyticsPlainHost = "http://www.";
constexpr std::string_view kLiveInternetClick = "https://www.liveinternet.ru/click";
constexpr std::string_view kLiveInternetHit = "https://counter.yadro.ru/hit";
constexpr std::string_view kHotLogClick = "https://click.hotlog.ru/";
constexpr std::string_view kHotLogCount = "https://hit41.hotlog.ru/cgi-bin/hotlog/count";

}  // namespace

std::string GoogleAnalyticsCounter(const ServiceSettings& settings) {
  if (settings.GoogleAnalyticsEnabled == 0) return {};
  std::string out;
  out +=
      "<script type=\"text/javascript\">var gaJsHost = ((\"https:\" == "
      "document.location.protocol) ? \"";
  out += kGoogleAnalyticsSecureHost;
  out += "\" : \"";
  out += kGoogleAnalyticsPlainHost;
  out +=
      "\");document.write(unescape(\"%3Cscript src='\" + gaJsHost + "
      "\"google-analytics.com/ga.js' type='text/javascript'%3E%3C/script%3E\"));</script>";
  out += "<script type=\"text/javascript\">try {var pageTracker = _gat._getTracker(\"";
  AppendJsEscaped(out, settings.GoogleAnalyticsUserID);
  out += "\");pageTracker._trackPageview();} catch(err) {}</script>";
  return out;
}

std::string LiveInternetCounter(const ServiceSettings& settings) {
  if (settings.LiveInternetEnabled == 0) return {};
  std::string out =
      "<!--LiveInternet counter--><script type=\"text/javascript\">document.write(\"<a href='";
  out += kLiveInternetClick;
  out += "' target=_blank><img src='";
  out += kLiveInternetHit;
  out += "?";
  AppendJsEscaped(out, settings.LiveInternetImgID);
  out +=
      ";r\"+escape(document.referrer)+((typeof(screen)==\"undefined\")?\"\":\";s\"+screen.width+"
      "\"*\"+screen.height+\"*\"+(screen.colorDepth?screen.colorDepth:screen.pixelDepth))+\";u\"+"
      "escape(document.URL)+\";\"+Math.random()+\"' alt='' title='LiveInternet: показано число "
      "просмотров за 24' border='0' width='88' height='31'><\\/a>\");</script><!--/LiveInternet-->";
  return out;
}

std::string HotLogCounter(const ServiceSettings& settings) {
  if (settings.HotLogEnabled == 0) return {};
  std::string out =
      "<!-- HotLog --><script language=\"javascript\">hotlog_js=\"1.0\";hotlog_r=\"\"+"
      "Math.random()+\"&s=";
  AppendJsEscaped(out, settings.HotLogUserID);
  out += "&im=";
  AppendJsEscaped(out, settings.HotLogImgID);
  out +=
      "&r=\"+escape(document.referrer)+\"&pg=\"+escape(window.location.href);"
      "document.cookie=\"hotlog=1; path=/\";hotlog_r+=\"&c=\"+(document.cookie?\"Y\":\"N\");"
      "</script>"
      "<script language=\"javascript1.1\">hotlog_js=\"1.1\";hotlog_r+=\"&j=\"+"
      "(navigator.javaEnabled()?\"Y\":\"N\");</script>"
      "<script language=\"javascript1.2\">hotlog_js=\"1.2\";hotlog_r+=\"&wh=\"+screen.width+\"x\"+"
      "screen.height+\"&px=\"+((navigator.appName.substring(0,3)==\"Mic\")?screen.colorDepth:"
      "screen.pixelDepth);</script>"
      "<script language=\"javascript1.3\">hotlog_js=\"1.3\";</script>"
      "<script language=\"javascript\">hotlog_r+=\"&js=\"+hotlog_js;document.write(\"<a href='";
  out += kHotLogClick;
  out += "?";
  AppendJsEscaped(out, settings.HotLogUserID);
  out += "' target='_top'><img src='";
  out += kHotLogCount;
  out +=
      "?\"+hotlog_r+\"' border='0' width='88' height='31' alt='HotLog'><\\/a>\");</script>"
      "<!-- /HotLog -->";
  return out;
}

}  // namespace kx
