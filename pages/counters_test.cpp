#include "pages/counters.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(CountersTest, DisabledCountersGiveNothing) {
  ServiceSettings settings;
  settings.GoogleAnalyticsUserID = "UA-1";
  settings.LiveInternetImgID = "x";
  settings.HotLogUserID = "1";
  EXPECT_EQ(GoogleAnalyticsCounter(settings), "");
  EXPECT_EQ(LiveInternetCounter(settings), "");
  EXPECT_EQ(HotLogCounter(settings), "");
}

TEST(CountersTest, GoogleAnalyticsTracksTheUserIdInOnePiece) {
  ServiceSettings settings;
  settings.GoogleAnalyticsEnabled = 1;
  settings.GoogleAnalyticsUserID = "UA-12345-1";
  const std::string counter = GoogleAnalyticsCounter(settings);
  EXPECT_NE(counter.find("google-analytics.com/ga.js"), std::string::npos);
  EXPECT_NE(counter.find("try {var pageTracker = _gat._getTracker(\"UA-12345-1\");"
                         "pageTracker._trackPageview();} catch(err) {}</script>"),
            std::string::npos);
  EXPECT_EQ(counter.find('\n'), std::string::npos);
}

TEST(CountersTest, LiveInternetIsMarkedAndCarriesItsImageId) {
  ServiceSettings settings;
  settings.LiveInternetEnabled = 1;
  settings.LiveInternetImgID = "t14.6";
  const std::string counter = LiveInternetCounter(settings);
  EXPECT_EQ(counter.rfind("<!--LiveInternet counter-->", 0), 0u);
  EXPECT_TRUE(counter.ends_with("<!--/LiveInternet-->"));
  EXPECT_NE(counter.find("hit?t14.6;r\"+escape(document.referrer)"), std::string::npos);
  EXPECT_NE(counter.find("title='LiveInternet: показано число просмотров за 24'"),
            std::string::npos);
}

TEST(CountersTest, HotLogHasFiveScriptVersionsAndBothIds) {
  ServiceSettings settings;
  settings.HotLogEnabled = 1;
  settings.HotLogUserID = "2277";
  settings.HotLogImgID = "1";
  const std::string counter = HotLogCounter(settings);
  EXPECT_EQ(counter.rfind("<!-- HotLog -->", 0), 0u);
  EXPECT_TRUE(counter.ends_with("<!-- /HotLog -->"));
  for (const char* language :
       {"\"javascript\">hotlog_js=\"1.0\"", "\"javascript1.1\">hotlog_js=\"1.1\"",
        "\"javascript1.2\">hotlog_js=\"1.2\"", "\"javascript1.3\">hotlog_js=\"1.3\"",
        "\"javascript\">hotlog_r+=\"&js=\"+hotlog_js"}) {
    EXPECT_NE(counter.find(language), std::string::npos) << language;
  }
  EXPECT_NE(counter.find("&s=2277&im=1&r="), std::string::npos);
  EXPECT_NE(counter.find("click.hotlog.ru/?2277' target='_top'"), std::string::npos);
}

TEST(CountersTest, EnabledWithEmptyIdIsStillEmittedAndIdsAreEscaped) {
  ServiceSettings settings;
  settings.GoogleAnalyticsEnabled = 1;
  EXPECT_NE(GoogleAnalyticsCounter(settings).find("_getTracker(\"\")"), std::string::npos);
  settings.GoogleAnalyticsUserID = "\");alert(1);//";
  EXPECT_NE(GoogleAnalyticsCounter(settings).find("_getTracker(\"\\x22);alert(1);//\")"),
            std::string::npos);
}

}  // namespace
}  // namespace kx
