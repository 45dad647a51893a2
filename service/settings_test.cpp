#include "service/settings.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

ServiceSettings Read(const std::string& text) {
  return ReadSettings(IniFile::FromBytes(text));
}

TEST(Settings, MissingFileGivesEveryDefault) {
  const ServiceSettings s = Read("");
  EXPECT_EQ(s.port, 80);
  EXPECT_EQ(s.UseKX, 0);
  EXPECT_EQ(s.KXServerPath, "");
  EXPECT_EQ(s.AutomationProgID, "Velorin.VelorinAutomation");
  EXPECT_EQ(s.UseDeviceList, 0);
  EXPECT_EQ(s.GoogleAnalyticsEnabled + s.LiveInternetEnabled + s.HotLogEnabled, 0);
  EXPECT_EQ(s.DelInterval, std::chrono::hours(1));
  EXPECT_EQ(s.FileTimeToLive, 1);
}

TEST(Settings, KeysInAnyLetterCaseAndHexadecimalNumbers) {
  const ServiceSettings s = Read("[MAIN]\nPORT=0x1F90\nusekx=$1\nuseDEVICElist=1\n");
  EXPECT_EQ(s.port, 8080);
  EXPECT_EQ(s.UseKX, 1);
  EXPECT_EQ(s.UseDeviceList, 1);
  EXPECT_EQ(Read("[main]\nport=eighty\n").port, 80);
}

TEST(Settings, UseDeviceListIsReadOnlyWithUseKX) {
  EXPECT_EQ(Read("[main]\nUseKX=0\nUseDeviceList=1\n").UseDeviceList, 0);
}

TEST(Settings, MaxFailedSignInsDefaultsToTen) {
  EXPECT_EQ(Read("").MaxFailedSignIns, 10);
  EXPECT_EQ(Read("[main]\nMaxFailedSignIns=0\n").MaxFailedSignIns, 0);
  EXPECT_EQ(Read("[main]\nMaxFailedSignIns=25\n").MaxFailedSignIns, 25);
}

TEST(Settings, AutomationProgIdIsReadWhateverTheMode) {
  EXPECT_EQ(Read("[main]\nAutomationProgID=Velorin.VelorinAutomation.2\n").AutomationProgID,
            "Velorin.VelorinAutomation.2");
}

TEST(Settings, ServerPathEndsWithItsSeparator) {
  EXPECT_EQ(Read("[main]\nKXServerPath=C:\\Velorin\n").KXServerPath, "C:\\Velorin\\");
  EXPECT_EQ(Read("[main]\nKXServerPath=C:\\Velorin\\\n").KXServerPath, "C:\\Velorin\\");
  EXPECT_EQ(Read("[main]\nKXServerPath=/srv/dispatcher\n").KXServerPath, "/srv/dispatcher/");
  EXPECT_EQ(Read("[main]\nKXServerPath=/srv/dispatcher/\n").KXServerPath, "/srv/dispatcher/");
  EXPECT_EQ(Read("[main]\nKXServerPath=C:/Velorin\\\n").KXServerPath, "C:/Velorin\\");
  EXPECT_EQ(Read("[main]\nKXServerPath=\n").KXServerPath, "");
}

TEST(Settings, CounterIdentifiersOnlyForEnabledCounters) {
  const ServiceSettings off = Read(
      "[GoogleAnalytics]\nUserID=UA-1\n[LiveInternet]\nEnabled=0\nImgID=5\n"
      "[HotLog]\nUserID=7\nImgID=8\n");
  EXPECT_EQ(off.GoogleAnalyticsUserID + off.LiveInternetImgID + off.HotLogUserID + off.HotLogImgID,
            "");
  const ServiceSettings on = Read(
      "[GoogleAnalytics]\nEnabled=1\nUserID=UA-1\n[LiveInternet]\nEnabled=2\n"
      "[HotLog]\nEnabled=1\nUserID=7\nImgID=8\n");
  EXPECT_EQ(on.GoogleAnalyticsUserID, "UA-1");
  EXPECT_EQ(on.LiveInternetEnabled, 2);
  EXPECT_EQ(on.LiveInternetImgID, "");  // switched on without its identifier
  EXPECT_EQ(on.HotLogUserID, "7");
  EXPECT_EQ(on.HotLogImgID, "8");
}

TEST(Settings, IntervalsBelowOneHourBecomeOneHour) {
  EXPECT_EQ(Read("[main]\nDelInterval=0\nFileTimeToLive=-3\n").DelInterval, std::chrono::hours(1));
  EXPECT_EQ(Read("[main]\nFileTimeToLive=-3\n").FileTimeToLive, 1);
  EXPECT_EQ(Read("[main]\nDelInterval=24\n").DelInterval, std::chrono::hours(24));
  // Beyond 32-bit milliseconds (1193 hours) the interval is kept as given.
  EXPECT_EQ(Read("[main]\nDelInterval=2000\n").DelInterval, std::chrono::hours(2000));
}

TEST(Settings, HugeCleanupValuesStopAtTenYears) {
  const ServiceSettings s = Read("[main]\nDelInterval=3000000\nFileTimeToLive=99999999\n");
  EXPECT_EQ(s.DelInterval, std::chrono::hours(kMaxCleanupHours));
  EXPECT_EQ(s.FileTimeToLive, kMaxCleanupHours);
  const ServiceSettings largest = Read("[main]\nDelInterval=0x7FFFFFFF\nFileTimeToLive=87660\n");
  EXPECT_EQ(largest.DelInterval, std::chrono::hours(kMaxCleanupHours));
  EXPECT_EQ(largest.FileTimeToLive, 87660);
  // The longest interval still lies ahead on the steady clock instead of wrapping into the past.
  const auto now = std::chrono::steady_clock::now();
  EXPECT_GT(now + s.DelInterval, now);
}

TEST(Settings, SessionAndConnectionLimits) {
  const ServiceSettings defaults = Read("");
  EXPECT_EQ(defaults.MaxSessions, 20000);
  EXPECT_EQ(defaults.MaxConnections, 1000);
  const ServiceSettings set = Read("[main]\nMaxSessions=5\nMaxConnections=0\n");
  EXPECT_EQ(set.MaxSessions, 5);
  EXPECT_EQ(set.MaxConnections, 1);
}

}  // namespace
}  // namespace kx
