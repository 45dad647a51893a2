#include "dispatcher/automation_standin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "dispatcher/link_settings.h"
#include "dispatcher/testing/standin_test_util.h"
#include "dispatcher/testing/xml_probe_test_util.h"
#include "dispatcher/velorin_automation.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testing::ReadFileBytes;
using testing::XmlProbe;

// A data folder with three groups: two cars in the first (one without a position), none in the
// second, one in the third; the first car has a track of two trips.
class StandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    fleet_.WriteInteger("main", "GroupsNum", 3);
    AddGroup(1, "Доставка", "dostavka.grp", 2);
    AddCar("group1.car1", 1001, "ГАЗель", "А123ВС77");
    fleet_.WriteString("group1.car1", "Latitude", "55.75");
    fleet_.WriteString("group1.car1", "Longitude", "37.61");
    fleet_.WriteString("group1.car1", "Time", "2010-03-05 07:05:00");
    AddCar("group1.car2", 7, "", "");
    AddGroup(2, "Пусто", "empty.grp", 0);
    AddGroup(3, "Спецтехника", "спец.grp", 1);
    AddCar("group3.car1", 12345678, "КамАЗ", "");
    fleet_.WriteString("group3.car1", "Latitude", "-776.9");
    SaveFleet();
    fs::create_directory(folder_ / "tracks");
    std::ofstream(folder_ / "tracks" / "1001.csv") << "2010-03-05 06:00:00;55.70;37.50;0;2\n"
                                                      "2010-03-05 06:10:00;55.71;37.51;50;16\n"
                                                      "2010-03-05 06:20:00;55.72;37.52;0;34\n"
                                                      "2010-03-05 06:30:00;55.73;37.53;40;4096\n"
                                                      "2010-03-05 06:40:00;55.74;37.54;0;2\n";
  }

  void AddGroup(int g, const char* name, const char* file, int cars) {
    const std::string section = "group" + std::to_string(g);
    fleet_.WriteString(section, "GroupName", name);
    fleet_.WriteString(section, "GroupFileName", file);
    fleet_.WriteInteger(section, "CarsNum", cars);
  }
  void AddCar(const std::string& section, int device, const char* model, const char* number) {
    fleet_.WriteInteger(section, "CarDevice", device);
    fleet_.WriteString(section, "CarModel", model);
    fleet_.WriteString(section, "CarNumber", number);
  }
  void SaveFleet() { fleet_.Save(folder_ / "fleet.ini"); }
  TVelorinAutomation Link() {
    return TVelorinAutomation(std::make_unique<AutomationStandIn>(folder_));
  }
  // Computes the first car's trips over the morning of its track.
  static void Compute(TVelorinAutomation& link) {
    link.StartComputing("dostavka.grp", 1001, "05.03.2010 06:00:00", "05.03.2010 07:00:00", "GSM",
                        0);
  }

  testing::ScratchFolder scratch_;
  fs::path folder_ = scratch_.path();
  IniFile fleet_;
};

TEST_F(StandIn, ReadsGroupsAndCarsBySelection) {
  TVelorinAutomation link = Link();
  EXPECT_EQ(link.GroupsNum(), 3);
  link.GroupIndex(1);
  EXPECT_EQ(link.GroupName(), "Доставка");
  EXPECT_EQ(link.GroupFileName(), "dostavka.grp");
  EXPECT_EQ(link.GroupCarsNum(), 2);
  link.CarIndex(1);
  EXPECT_EQ(link.CarDevice(), 1001);
  EXPECT_EQ(link.CarModel(), "ГАЗель");
  EXPECT_EQ(link.CarNumber(), "А123ВС77");
  EXPECT_DOUBLE_EQ(link.CarLatitude(), 55.75);
  link.CarIndex(2);
  EXPECT_EQ(link.CarModel(), "");
  EXPECT_DOUBLE_EQ(link.CarLatitude(), kNoLatitude);
  link.GroupIndex(2);
  EXPECT_EQ(link.GroupCarsNum(), 0);
  EXPECT_TRUE(link.SetGroupIndexByFileName("спец.grp"));
  EXPECT_TRUE(link.SetCarIndexByDevice(12345678));
  EXPECT_DOUBLE_EQ(link.CarLatitude(), -776.9);
}

TEST_F(StandIn, RefusedReadsAndSetsRaiseTheCheckText) {
  TVelorinAutomation link = Link();
  EXPECT_THROW((void)link.GroupName(), AutomationError);  // nothing selected yet
  try {
    link.GroupIndex(4);
    FAIL();
  } catch (const AutomationError& error) {
    EXPECT_TRUE(std::string(error.what())
                    .starts_with("'GroupIndex': group 4 is not in 1..3 @ "
                                 "Velorin_OCX/"))
        << error.what();
  }
  link.GroupIndex(1);
  link.CarIndex(1);
  link.GroupIndex(3);  // a new group clears the vehicle selection
  EXPECT_THROW((void)link.CarModel(), AutomationError);
  EXPECT_THROW(link.CarIndex(0), AutomationError);
  EXPECT_THROW(link.CarIndex(2), AutomationError);
  EXPECT_FALSE(link.SetGroupIndexByFileName("DOSTAVKA.GRP"));  // names match exactly
  EXPECT_THROW((void)link.GroupName(), AutomationError);
  EXPECT_TRUE(link.SetGroupIndexByFileName("dostavka.grp"));
  EXPECT_FALSE(link.SetCarIndexByDevice(12345678));
  EXPECT_THROW((void)link.CarDevice(), AutomationError);
}

// A process that asks before raising: the question sees the check text; "carry on" leaves the
// read at zero and the selection as it was, "raise" throws as without a question.
TEST_F(StandIn, RefusedCallsAskTheProcessesQuestionFirst) {
  static std::vector<std::string> asked;
  static bool raise = false;
  asked.clear();
  ConfigureLinks({std::string(kDefaultAutomationProgId), [](const std::string& text) {
                    asked.push_back(text);
                    return raise;
                  }});
  TVelorinAutomation link = Link();
  EXPECT_EQ(link.GroupName(), "");
  link.GroupIndex(1);
  link.GroupIndex(9);
  EXPECT_EQ(link.GroupName(), "Доставка");
  raise = true;
  EXPECT_EQ(link.GroupCarsNum(), 2);  // not refused: no question
  EXPECT_THROW(link.CarIndex(5), AutomationError);
  ConfigureLinks({});
  EXPECT_THROW(link.CarIndex(5), AutomationError);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_TRUE(asked[0].starts_with("'GroupName': no group is selected @ Velorin_OCX/")) << asked[0];
  EXPECT_TRUE(asked[1].starts_with("'GroupIndex': group 9 is not in 1..3")) << asked[1];
  EXPECT_TRUE(asked[2].starts_with("'CarIndex': vehicle 5 is not in 1..2")) << asked[2];
}

TEST(LinkSettings, ProgIdComesFromTheMainSectionOrTheDefault) {
  EXPECT_EQ(ReadAutomationProgId(IniFile::FromBytes("")), "Velorin.VelorinAutomation");
  EXPECT_EQ(ReadAutomationProgId(IniFile::FromBytes("[main]\r\nAutomationProgID=\r\n")),
            "Velorin.VelorinAutomation");
  EXPECT_EQ(
      ReadAutomationProgId(IniFile::FromBytes("[MAIN]\r\nautomationprogid = Fleet.Server.2\r\n")),
      "Fleet.Server.2");
}

TEST_F(StandIn, FleetFileRoundTrips) {
  Fleet fleet = ReadFleet(IniFile::Load(folder_ / "fleet.ini"));
  fleet.computeTime = milliseconds(5);
  fleet.failAfterOps = 0;
  const Fleet again = ReadFleet(WriteFleet(fleet));
  ASSERT_EQ(again.groups.size(), 3u);
  EXPECT_EQ(again.groups[2].fileName, "спец.grp");
  EXPECT_EQ(again.groups[1].cars.size(), 0u);
  const FleetCar& car = again.groups[0].cars[0];
  EXPECT_EQ(car.number, "А123ВС77");
  ASSERT_TRUE(car.position.has_value());
  EXPECT_EQ(car.position->name, "ГАЗель А123ВС77");
  EXPECT_DOUBLE_EQ(car.position->longitude, 37.61);
  EXPECT_EQ(car.position->time, ParseIsoDateTime("2010-03-05 07:05:00"));
  EXPECT_FALSE(again.groups[0].cars[1].position.has_value());
  EXPECT_EQ(again.computeTime, milliseconds(5));
  EXPECT_EQ(again.failAfterOps, 0);
}

TEST(CallFailureText, WithoutSystemTextShowsTheCode) {
  EXPECT_EQ(CallFailureText("TripsNum", {kStatusUnspecifiedFailure, ""}, 7),
            "(TripsNum) Error: 80004005 (-2147467259) @ Velorin_OCX/7");
  EXPECT_EQ(UnreachableText({kStatusServerExecutionFailed, ""}), "Error 0x80080005");
  EXPECT_EQ(UnreachableText({kStatusServerExecutionFailed, "Server execution failed"}),
            "Server execution failed");
}

TEST_F(StandIn, UnreachableWithoutFolderOrFleetFile) {
  TVelorinAutomation missing(std::make_unique<AutomationStandIn>(folder_ / "none"));
  try {
    (void)missing.GroupsNum();
    FAIL();
  } catch (const AutomationError& error) {
    EXPECT_NE(std::string(error.what()).find("does not exist"), std::string::npos);
  }
  fs::remove(folder_ / "fleet.ini");
  TVelorinAutomation no_fleet = Link();
  EXPECT_THROW((void)no_fleet.WaitForInitializing(), AutomationError);
  EXPECT_THROW((void)no_fleet.Connect(), AutomationError);  // every attempt fails again
}

TEST_F(StandIn, ImplausibleCountsMakeTheServerUnreachable) {
  fleet_.WriteInteger("main", "GroupsNum", 2000000000);
  SaveFleet();
  TVelorinAutomation link = Link();
  EXPECT_THROW((void)link.Connect(), AutomationError);
}

TEST_F(StandIn, TripsAreSplitAtStopsAndExportedAsKml) {
  TVelorinAutomation link = Link();
  Compute(link);
  EXPECT_EQ(link.ComputingBusy(), 0);
  ASSERT_EQ(link.TripsNum(), 2);
  link.TripIndex(2);
  const fs::path kml = folder_ / "track.kml";
  ASSERT_TRUE(link.ExportTrackToFile(kml.string(), 1, "", "", 0, 0, kEventFuel | 4096, 3, 1, 1));
  const XmlProbe doc(ReadFileBytes(kml));
  ASSERT_TRUE(doc.WellFormed());
  // Trip 2 runs from the refuelling stop at 06:20 to the stop at 06:40.
  EXPECT_EQ(doc.Count("//k:LineString"), 1);
  EXPECT_EQ(doc.Text("//k:Placemark[1]/k:name"), "ГАЗель А123ВС77");
  EXPECT_EQ(doc.Text("//k:Placemark[1]/k:description"),
            "05.03.2010 09:20:00 - 05.03.2010 09:40:00");
  EXPECT_EQ(doc.Count("//k:Point"), 2);
  EXPECT_EQ(doc.Text("//k:Placemark[2]/k:name"), "Заправка или слив");
  EXPECT_EQ(doc.Text("//k:Placemark[3]/k:name"), "Датчик 1");
  EXPECT_THROW(link.TripIndex(3), AutomationError);
}

TEST_F(StandIn, ComputingFindsNothingOutsideTheTrackOrWithoutOne) {
  TVelorinAutomation link = Link();
  link.StartComputing("dostavka.grp", 1001, "06.03.2010 00:00:00", "07.03.2010 00:00:00", "GSM", 0);
  EXPECT_EQ(link.TripsNum(), 0);
  EXPECT_THROW(link.TripIndex(1), AutomationError);
  EXPECT_FALSE(link.ExportTrackToFile((folder_ / "t.kml").string(), 1, "", "", 0, 0, 2, 0, 1, 1));
  EXPECT_FALSE(fs::exists(folder_ / "t.kml"));
  EXPECT_TRUE(link.StartComputing("dostavka.grp", 7, "05.03.2010 00:00:00", "06.03.2010 00:00:00",
                                  "GSM", 0));  // no track file
  EXPECT_EQ(link.TripsNum(), 0);
  EXPECT_FALSE(link.StartComputing("empty.grp", 1001, "05.03.2010 00:00:00", "06.03.2010 00:00:00",
                                   "GSM", 0));
  EXPECT_FALSE(link.StartComputing("dostavka.grp", 1001, "05.03.2010", "06.03.2010", "GSM", 0));
}

TEST_F(StandIn, SlowModesDelayInitialisingAndComputing) {
  fleet_.WriteInteger("main", "InitDelayMs", 150);
  fleet_.WriteInteger("main", "ComputeMs", 300);
  SaveFleet();
  TVelorinAutomation link = Link();
  const auto start = std::chrono::steady_clock::now();
  link.WaitForInitializing();
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(150));
  Compute(link);
  EXPECT_NE(link.ComputingBusy(), 0);
  EXPECT_EQ(link.TripsNum(), 0);  // not computed yet
  EXPECT_THROW(link.TripIndex(1), AutomationError);
  int polls = 0;
  while (link.ComputingBusy() != 0) {
    std::this_thread::sleep_for(milliseconds(20));
    ++polls;
  }
  EXPECT_GE(polls, 5);
  EXPECT_EQ(link.TripsNum(), 2);
}

TEST_F(StandIn, ExportsLastPositionsOfListedDevices) {
  TVelorinAutomation link = Link();
  const fs::path kml = folder_ / "cars.kml";
  // 7 has no position and 99 is unknown: neither gets a placemark.
  ASSERT_TRUE(link.ExportCarsToFile(kml.string(), "12345678,7,99,1001", 0, "", "", 3, 0, 1));
  const XmlProbe doc(ReadFileBytes(kml));
  ASSERT_TRUE(doc.WellFormed());
  ASSERT_EQ(doc.Count("//k:Placemark"), 2);
  EXPECT_EQ(doc.Text("//k:Placemark[1]/k:name"), "КамАЗ");
  EXPECT_EQ(doc.Text("//k:Placemark[2]/k:description"), "05.03.2010 10:05:00");
  EXPECT_EQ(doc.Text("//k:Placemark[2]/k:Point/k:coordinates"), "37.610000,55.750000,0");
  ASSERT_TRUE(link.ExportCarsToFile(kml.string(), "", 0, "", "", 0, 0, 1));
  EXPECT_EQ(XmlProbe(ReadFileBytes(kml)).Count("//k:Placemark"), 0);
  fs::remove(kml);
  EXPECT_FALSE(link.ExportCarsToFile(kml.string(), "1001,", 0, "", "", 0, 0, 1));
  EXPECT_FALSE(link.ExportCarsToFile(kml.string(), "1001, 7", 0, "", "", 0, 0, 1));
  EXPECT_FALSE(fs::exists(kml));
  EXPECT_FALSE(
      link.ExportCarsToFile((folder_ / "no" / "x.kml").string(), "1001", 0, "", "", 0, 0, 1));
  // A GMT that moves the time beyond the year 9999 has no date text: the export fails.
  EXPECT_FALSE(link.ExportCarsToFile(kml.string(), "1001", 0, "", "", 0x7FFFFFFF, 0, 1));
  EXPECT_FALSE(fs::exists(kml));
}

TEST_F(StandIn, FailAfterOpsStopsTheServerMidway) {
  fleet_.WriteInteger("main", "FailAfterOps", 2);
  SaveFleet();
  TVelorinAutomation link = Link();
  EXPECT_EQ(link.GroupsNum(), 3);
  link.GroupIndex(1);
  try {
    (void)link.GroupName();
    FAIL();
  } catch (const AutomationError& error) {
    EXPECT_NE(std::string(error.what()).find("disconnected"), std::string::npos);
  }
  EXPECT_FALSE(link.WaitForInitializing());
  EXPECT_THROW((void)link.GroupsNum(), AutomationError);
}

TEST_F(StandIn, DefaultLinkTakesItsFolderFromTheEnvironment) {
  ASSERT_EQ(::setenv("KX_AUTOMATION_DATA", folder_.c_str(), 1), 0);
  TVelorinAutomation link;
  EXPECT_EQ(link.GroupsNum(), 3);
  ASSERT_EQ(::setenv("KX_AUTOMATION_DATA", (folder_ / "none").c_str(), 1), 0);
  TVelorinAutomation unreachable;
  EXPECT_THROW(unreachable.Connect(), AutomationError);
  ::unsetenv("KX_AUTOMATION_DATA");
}

TEST_F(StandIn, LinkIsBoundToItsThread) {
  TVelorinAutomation link = Link();
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEBUG_DEATH(std::thread([&link] { (void)link.GroupsNum(); }).join(), "thread");
}

}  // namespace
}  // namespace kx
