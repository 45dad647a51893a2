#include "reports/device_list_export.h"

#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "common/ini_file.h"
#include "dispatcher/testing/standin_test_util.h"
#include "registry/vehicle_registry.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using testing::Car;
using testing::Group;
using testing::ReadFileBytes;

class DeviceListExport : public ::testing::Test {
 protected:
  DeviceListExport() {
    fleet_.groups = {
        Group("Доставка", "dostavka.grp", {Car(1001, "ГАЗель", "А123ВС77"), Car(7, "", "B 1")}),
        Group("Резерв", "reserve.grp", {}),
        Group("Спецтехника", "спец.grp", {Car(12345678, "КамАЗ", "")})};
  }

  int Export() {
    testing::WriteStandInFolder(data_, fleet_);
    return ExportDeviceList(*testing::StandInLink(data_), file_);
  }
  [[nodiscard]] IniFile Written() const { return IniFile::Load(file_); }

  testing::ScratchFolder scratch_;
  fs::path data_ = scratch_.path() / "automation";
  fs::path file_ = scratch_.path() / "DeviceList.ini";
  Fleet fleet_;
};

TEST_F(DeviceListExport, FirstExportWritesTheListInKeyOrder) {
  EXPECT_EQ(Export(), 3);
  EXPECT_EQ(Utf8FromCp1251(ReadFileBytes(file_)),
            "[main]\r\ndevCount=3\r\n"
            "[dev0]\r\ndevnum=1001\r\ncarmodel=ГАЗель\r\ncarnumber=А123ВС77\r\n"
            "groupname=Доставка\r\ngroupfile=dostavka.grp\r\n"
            "[dev1]\r\ndevnum=7\r\ncarmodel=\r\ncarnumber=B 1\r\n"
            "groupname=Доставка\r\ngroupfile=dostavka.grp\r\n"
            "[dev2]\r\ndevnum=12345678\r\ncarmodel=КамАЗ\r\ncarnumber=\r\n"
            "groupname=Спецтехника\r\ngroupfile=спец.grp\r\n");
}

TEST_F(DeviceListExport, TheServiceReadsBackTheDispatchersList) {
  ASSERT_EQ(Export(), 3);
  VehicleList from_file;
  GroupFileList groups_from_file;
  LoadVehiclesFromDeviceList(file_, from_file, groups_from_file);
  VehicleList from_dispatcher;
  GroupFileList groups_from_dispatcher;
  LoadVehiclesFromDispatcher(*testing::StandInLink(data_), from_dispatcher, groups_from_dispatcher);
  ASSERT_EQ(from_file.size(), from_dispatcher.size());
  for (auto a = from_file.begin(), b = from_dispatcher.begin(); a != from_file.end(); ++a, ++b) {
    EXPECT_EQ(a->key, b->key);
    EXPECT_EQ(a->params.groupName, b->params.groupName);
    EXPECT_EQ(a->params.groupFileName, b->params.groupFileName);
  }
  // The file names a model-less vehicle without its device digits; the empty group is only in
  // the dispatcher's group list.
  EXPECT_EQ(from_file.Find("7")->displayName, " (7)");
  EXPECT_EQ(from_dispatcher.Find("7")->displayName, "00007 (7)");
  EXPECT_EQ(std::vector<std::string>(groups_from_file.begin(), groups_from_file.end()),
            (std::vector<std::string>{"dostavka.grp", "спец.grp"}));
  EXPECT_EQ(groups_from_dispatcher.size(), 3u);
}

TEST_F(DeviceListExport, ASecondExportAppendsFromTheFirstCount) {
  ASSERT_EQ(Export(), 3);
  fleet_.groups[0].cars[0].model = "Газель NEXT";
  ASSERT_EQ(Export(), 3);
  const IniFile ini = Written();
  EXPECT_EQ(ini.ReadInteger("main", "devCount", 0), 6);
  EXPECT_EQ(ini.ReadString("dev0", "carmodel", ""), "ГАЗель");
  EXPECT_EQ(ini.ReadString("dev3", "carmodel", ""), "Газель NEXT");
  EXPECT_EQ(ini.ReadInteger("dev5", "devnum", 0), 12345678);
}

TEST_F(DeviceListExport, NoGroupsKeepsTheOldEntries) {
  ASSERT_EQ(Export(), 3);
  fleet_.groups.clear();
  EXPECT_EQ(Export(), 0);
  const IniFile ini = Written();
  EXPECT_EQ(ini.ReadInteger("main", "devCount", 0), 3);
  EXPECT_EQ(ini.ReadInteger("dev2", "devnum", 0), 12345678);
}

TEST_F(DeviceListExport, AnUnreachableDispatcherWritesNothing) {
  TVelorinAutomation link(std::make_unique<AutomationStandIn>(scratch_.path() / "none"));
  EXPECT_THROW((void)ExportDeviceList(link, file_), DispatcherUnreachable);
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(DeviceListExport, AFailureMidwayKeepsEntriesButNotTheCount) {
  ASSERT_EQ(Export(), 3);
  // GroupsNum, GroupIndex, GroupCarsNum, then per vehicle CarIndex and five reads: the server
  // stops after the model of the second vehicle.
  fleet_.failAfterOps = 3 + 6 + 3;
  EXPECT_THROW(Export(), AutomationError);
  const IniFile ini = Written();
  EXPECT_EQ(ini.ReadInteger("main", "devCount", 0), 3);
  EXPECT_EQ(ini.ReadInteger("dev3", "devnum", 0), 1001);
  EXPECT_EQ(ini.ReadString("dev3", "groupfile", ""), "dostavka.grp");
  EXPECT_EQ(ini.ReadInteger("dev4", "devnum", 0), 7);
  EXPECT_TRUE(ini.KeyExists("dev4", "carmodel"));
  EXPECT_FALSE(ini.KeyExists("dev4", "carnumber"));
  // The next export writes over the abandoned entries.
  fleet_.failAfterOps.reset();
  ASSERT_EQ(Export(), 3);
  EXPECT_EQ(Written().ReadInteger("main", "devCount", 0), 6);
  EXPECT_EQ(Written().ReadString("dev4", "carnumber", "x"), "B 1");
}

TEST_F(DeviceListExport, AFailureBeforeAnyVehicleLeavesTheCountWritten) {
  fleet_.failAfterOps = 0;
  EXPECT_THROW(Export(), AutomationError);
  EXPECT_EQ(Utf8FromCp1251(ReadFileBytes(file_)), "[main]\r\ndevCount=0\r\n");
}

// The stand-in's texts with line breaks added, as a real server may return them.
class LineBreakingServer : public AutomationStandIn {
 public:
  using AutomationStandIn::AutomationStandIn;
  CallResult CarModel(std::string& value) override {
    const CallResult result = AutomationStandIn::CarModel(value);
    value += "\ndevnum=9";
    return result;
  }
  CallResult GroupName(std::string& value) override {
    const CallResult result = AutomationStandIn::GroupName(value);
    value += "\r\n[dev9]";
    return result;
  }
};

TEST_F(DeviceListExport, DamagedCountsAndTextsStayReadable) {
  IniFile damaged;
  damaged.WriteInteger("main", "devCount", -4);
  damaged.Save(file_);
  fleet_.groups = {Group("A", "a.grp", {Car(5, "M", "")})};
  testing::WriteStandInFolder(data_, fleet_);
  TVelorinAutomation link(std::make_unique<LineBreakingServer>(data_));
  ASSERT_EQ(ExportDeviceList(link, file_), 1);
  const IniFile ini = Written();
  EXPECT_EQ(ini.ReadInteger("main", "devCount", 0), 1);
  EXPECT_EQ(ini.ReadInteger("dev0", "devnum", 0), 5);
  EXPECT_EQ(ini.ReadString("dev0", "carmodel", ""), "M devnum=9");
  EXPECT_EQ(ini.ReadString("dev0", "groupname", ""), "A  [dev9]");
  EXPECT_FALSE(ini.SectionExists("dev9"));
}

TEST_F(DeviceListExport, AnUnwritableFileFailsAfterConnecting) {
  fs::create_directory(file_);  // a folder where the file should be
  EXPECT_THROW(Export(), std::exception);
}

}  // namespace
}  // namespace kx
