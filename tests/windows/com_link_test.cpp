// The dispatcher link's COM backend against the test automation server, VelorinTestServer.exe
// beside this program: the server is registered for each test with a fresh data folder and
// removed afterwards, so every test starts the server anew through COM.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "common/executable_folder.h"
#include "common/testing/scratch_folder.h"
#include "common/utf8_path.h"
#include "dispatcher/automation_standin.h"
#include "dispatcher/com_support_win32.h"
#include "dispatcher/fleet.h"
#include "dispatcher/link_settings.h"
#include "dispatcher/velorin_automation.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// Not the default name: the links must take the configured one.
constexpr char kProgId[] = "KX.VelorinTestServer";
constexpr DWORD kCommandWaitMs = 30000;
constexpr auto kComputeTime = milliseconds(1500);

// Runs the test server with the arguments; returns its exit status, or -1.
int RunServer(const std::wstring& arguments) {
  std::wstring command =
      L"\"" + (ExecutableFolder() / L"VelorinTestServer.exe").wstring() + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  DWORD status = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, kCommandWaitMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

FleetCar Car(int32_t device, std::string model, std::string number,
             std::optional<VehiclePosition> position = std::nullopt) {
  return {device, std::move(model), std::move(number), std::move(position)};
}

// Two groups with Russian names; the first car has a position and a track of two trips.
Fleet TestFleet() {
  Fleet fleet;
  fleet.computeTime = kComputeTime;
  fleet.groups.push_back(
      {"Доставка",
       "доставка.grp",
       {Car(1001, "ГАЗель", "А123ВС77", VehiclePosition{"", 55.75, 37.61, 1267772700}),
        Car(7, "", "")}});
  fleet.groups.push_back({"Спецтехника", "special.grp", {Car(12345678, "КамАЗ", "")}});
  return fleet;
}

class ComLink : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(data_ / "tracks");
    WriteFleet(TestFleet()).Save(data_ / "fleet.ini");
    std::ofstream(data_ / "tracks" / "1001.csv") << "2010-03-05 06:00:00;55.70;37.50;0;2\n"
                                                    "2010-03-05 06:10:00;55.71;37.51;50;16\n"
                                                    "2010-03-05 06:20:00;55.72;37.52;0;34\n"
                                                    "2010-03-05 06:30:00;55.73;37.53;40;4096\n"
                                                    "2010-03-05 06:40:00;55.74;37.54;0;2\n";
    Register(data_);
  }
  void TearDown() override {
    EXPECT_EQ(RunServer(L"/UnregServer"), 0);
    ConfigureLinks({});
  }

  void Register(const fs::path& data) {
    ASSERT_EQ(RunServer(L"/RegServer --data=\"" + data.wstring() + L"\" --progid=" +
                        WideFromUtf8(kProgId)),
              0);
    ConfigureLinks({kProgId});
  }

  static void ComputeFirstCar(TVelorinAutomation& link) {
    EXPECT_TRUE(link.StartComputing("доставка.grp", 1001, "05.03.2010 06:00:00",
                                    "05.03.2010 07:00:00", "GSM", 0));
  }

  testing::ScratchFolder scratch_;
  // Russian folder and file names check that paths keep their characters on the way to the
  // server and back.
  const fs::path data_ = PathFromUtf8(scratch_ / "данные");
};

TEST_F(ComLink, ReadsGroupsAndCarsWithRussianNames) {
  TVelorinAutomation link;
  EXPECT_TRUE(link.WaitForInitializing());
  ASSERT_EQ(link.GroupsNum(), 2);
  link.GroupIndex(1);
  EXPECT_EQ(link.GroupName(), "Доставка");
  EXPECT_EQ(link.GroupFileName(), "доставка.grp");
  ASSERT_EQ(link.GroupCarsNum(), 2);
  link.CarIndex(1);
  EXPECT_EQ(link.CarDevice(), 1001);
  EXPECT_EQ(link.CarModel(), "ГАЗель");
  EXPECT_EQ(link.CarNumber(), "А123ВС77");
  EXPECT_DOUBLE_EQ(link.CarLatitude(), 55.75);
  link.CarIndex(2);
  EXPECT_EQ(link.CarModel(), "");
  EXPECT_LE(link.CarLatitude(), kNoLatitude);
  // Russian text also travels to the server.
  EXPECT_TRUE(link.SetGroupIndexByFileName("доставка.grp"));
  EXPECT_TRUE(link.SetCarIndexByDevice(1001));
  EXPECT_EQ(link.CarModel(), "ГАЗель");
  EXPECT_FALSE(link.SetGroupIndexByFileName("none.grp"));
}

TEST_F(ComLink, RefusedReadsAndSetsRaiseWithTheServersText) {
  TVelorinAutomation link;
  try {
    link.GroupIndex(3);
    FAIL() << "a group beyond the count was taken";
  } catch (const AutomationError& error) {
    EXPECT_TRUE(std::string(error.what()).starts_with("'GroupIndex': group 3 is not in 1..2 @ "))
        << error.what();
  }
  EXPECT_THROW((void)link.CarModel(), AutomationError);  // nothing selected
  link.GroupIndex(2);
  EXPECT_THROW(link.CarIndex(2), AutomationError);
  EXPECT_EQ(link.GroupName(), "Спецтехника");  // the link goes on after a refusal
}

// ComputingBusy stays non-zero for the configured time; the trips and both KML documents are the
// ones the stand-in itself makes.
TEST_F(ComLink, ComputesTracksAndExportsBothKmlKinds) {
  TVelorinAutomation link;
  const auto started = std::chrono::steady_clock::now();
  ComputeFirstCar(link);
  EXPECT_NE(link.ComputingBusy(), 0);
  while (link.ComputingBusy() != 0) {
    ASSERT_LT(std::chrono::steady_clock::now() - started, kComputeTime * 20) << "never done";
    std::this_thread::sleep_for(milliseconds(100));
  }
  EXPECT_GE(std::chrono::steady_clock::now() - started, kComputeTime);
  ASSERT_EQ(link.TripsNum(), 2);
  link.TripIndex(2);
  const std::string track = scratch_ / "трек.kml";
  const std::string cars = scratch_ / "машины.kml";
  EXPECT_TRUE(link.ExportTrackToFile(track, 0, "", "", 0, 0, 0xFFFF, 3, 0, 0));
  EXPECT_TRUE(link.ExportCarsToFile(cars, "7,1001,99", 0, "", "", 3, 0, 0));

  TVelorinAutomation local(std::make_unique<AutomationStandIn>(data_));
  ComputeFirstCar(local);
  while (local.ComputingBusy() != 0) std::this_thread::sleep_for(milliseconds(100));
  local.TripIndex(2);
  EXPECT_TRUE(
      local.ExportTrackToFile(scratch_ / "local-track.kml", 0, "", "", 0, 0, 0xFFFF, 3, 0, 0));
  EXPECT_TRUE(local.ExportCarsToFile(scratch_ / "local-cars.kml", "7,1001,99", 0, "", "", 3, 0, 0));
  const std::string track_kml = ReadBytes(PathFromUtf8(track));
  EXPECT_NE(track_kml.find("<LineString>"), std::string::npos) << track_kml;
  EXPECT_EQ(track_kml, ReadBytes(scratch_.path() / "local-track.kml"));
  const std::string cars_kml = ReadBytes(PathFromUtf8(cars));
  EXPECT_NE(cars_kml.find("37.61"), std::string::npos) << cars_kml;
  EXPECT_EQ(cars_kml, ReadBytes(scratch_.path() / "local-cars.kml"));
  EXPECT_THROW(link.TripIndex(3), AutomationError);
}

// A second link attaches to the running server: both see one selection.
TEST_F(ComLink, SecondLinkAttachesToTheRunningServer) {
  TVelorinAutomation first;
  first.GroupIndex(2);
  TVelorinAutomation second;
  EXPECT_EQ(second.GroupName(), "Спецтехника");
}

// A link made on a thread of its own initialises COM there and undoes it when it goes.
TEST_F(ComLink, LinkRunsComOnItsOwnThread) {
  int32_t groups = 0;
  HRESULT after = E_FAIL;
  std::thread worker([&] {
    {
      TVelorinAutomation link;
      groups = link.GroupsNum();
    }
    after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(after)) CoUninitialize();
  });
  worker.join();
  EXPECT_EQ(groups, 2);
  EXPECT_EQ(after, S_OK) << "the link left COM initialised on its thread";
}

TEST_F(ComLink, UnreachableServerFailsTheFirstOperationWithTheSystemsText) {
  Register(scratch_.path() / "missing");  // the server starts but cannot serve this folder
  TVelorinAutomation missing_data;
  try {
    (void)missing_data.GroupsNum();
    FAIL() << "a server without its data was reached";
  } catch (const AutomationError& error) {
    EXPECT_STRNE(error.what(), "");
  }
  ASSERT_EQ(RunServer(L"/UnregServer"), 0);
  TVelorinAutomation unregistered;
  EXPECT_THROW(unregistered.Connect(), AutomationError);
  EXPECT_THROW((void)unregistered.GroupsNum(), AutomationError);  // every attempt fails again
}

}  // namespace
}  // namespace kx
