#include "registry/vehicle_registry.h"

#include <gtest/gtest.h>

#include "dispatcher/testing/standin_test_util.h"

namespace kx {
namespace {

using testing::Car;
using testing::Group;

std::vector<std::string> Names(const VehicleList& vehicles) {
  std::vector<std::string> names;
  for (const auto& entry : vehicles) names.push_back(entry.params.displayName);
  return names;
}

std::vector<std::string> Files(const GroupFileList& groups) {
  return {groups.begin(), groups.end()};
}

class DispatcherSource : public ::testing::Test {
 protected:
  void Write() { testing::WriteStandInFolder(scratch_.path(), fleet_); }
  void Load() {
    Write();
    LoadVehiclesFromDispatcher(*testing::StandInLink(scratch_.path()), vehicles_, groups_);
  }

  testing::ScratchFolder scratch_;
  Fleet fleet_;
  VehicleList vehicles_;
  GroupFileList groups_;
};

TEST_F(DispatcherSource, NamesKeysAndGroupsFollowTheDispatcher) {
  fleet_.groups = {Group("Доставка", "a.grp",
                         {Car(1234, "ГАЗель", "А123ВС77"), Car(7, "", "B1"), Car(55, "УАЗ", "")}),
                   Group("Пусто", "empty.grp", {}),
                   Group("Доставка", "a.grp", {Car(-42, "", ""), Car(123456, "", "")})};
  Load();
  EXPECT_EQ(Names(vehicles_),
            (std::vector<std::string>{"ГАЗель - А123ВС77 (1234)", "00007 (7)", "УАЗ (55)",
                                      "-00042 (-42)", "123456 (123456)"}));
  EXPECT_EQ(Files(groups_), (std::vector<std::string>{"a.grp", "empty.grp", "a.grp"}));
  const TCarsParams* car = vehicles_.Find("1234");
  ASSERT_NE(car, nullptr);
  EXPECT_EQ(car->device, 1234);
  EXPECT_EQ(car->groupName, "Доставка");
  EXPECT_EQ(car->groupFileName, "a.grp");
  EXPECT_EQ(vehicles_.begin()->key, "1234");
  EXPECT_EQ(vehicles_.FindDevice(-42)->displayName, "-00042 (-42)");
}

TEST_F(DispatcherSource, AFailureKeepsWhatWasLoadedBefore) {
  fleet_.groups = {Group("g", "g.grp", {Car(1, "a", ""), Car(2, "b", ""), Car(3, "c", "")})};
  // GroupsNum, GroupIndex, GroupCarsNum, GroupFileName, GroupName, then four per car with a model
  // and no number: the server stops in the middle of the second car.
  fleet_.failAfterOps = 5 + 4 + 2;
  vehicles_.Append("99", {99, "old", "", ""});
  EXPECT_THROW(Load(), AutomationError);
  EXPECT_EQ(Names(vehicles_), (std::vector<std::string>{"a (1)"}));
  EXPECT_EQ(Files(groups_), (std::vector<std::string>{"g.grp"}));
}

TEST_F(DispatcherSource, AnUnreachableDispatcherFailsTheLoad) {
  TVelorinAutomation link(std::make_unique<AutomationStandIn>(scratch_.path() / "none"));
  EXPECT_THROW(LoadVehiclesFromDispatcher(link, vehicles_, groups_), AutomationError);
}

IniFile DeviceList(std::string_view text) {
  return IniFile::FromBytes(std::string(text));
}

TEST(DeviceListSource, NamesSkippedSectionsAndDistinctGroups) {
  VehicleList vehicles;
  GroupFileList groups;
  vehicles.Append("5", {5, "stale", "", ""});
  groups.Append("stale.grp");
  LoadVehiclesFromDeviceList(DeviceList("[main]\ndevCount=6\n"
                                        "[dev0]\ndevnum=7\ncarnumber=X1\ngroupfile=b.grp\n"
                                        "[dev1]\ndevnum=0\ncarmodel=skipped\ngroupfile=z.grp\n"
                                        "[dev2]\ndevnum=1234\ncarmodel=M\ncarnumber=N\n"
                                        "groupname=Group A\ngroupfile=a.grp\n"
                                        "[dev3]\ndevnum=55\ncarmodel=M\ngroupfile=b.grp\n"
                                        "[dev4]\ndevnum=abc\ngroupfile=y.grp\n"
                                        "[DEV5]\nDEVNUM=7\ncarmodel=Again\ngroupfile=B.grp\n"
                                        "[dev6]\ndevnum=8\n"),
                             vehicles, groups);
  EXPECT_EQ(Names(vehicles),
            (std::vector<std::string>{" (7)", "M - N (1234)", "M (55)", "Again (7)"}));
  EXPECT_EQ(Files(groups), (std::vector<std::string>{"b.grp", "a.grp", "B.grp"}));
  EXPECT_EQ(vehicles.Find("7")->displayName, " (7)");  // the first of a repeated key
  EXPECT_EQ(vehicles.Find("1234")->groupName, "Group A");
  EXPECT_EQ(groups.IndexOf("a.grp"), 1u);
  EXPECT_FALSE(groups.IndexOf("A.GRP").has_value());
}

TEST(DeviceListSource, MissingOrBrokenCountsGiveAnEmptyRegistry) {
  VehicleList vehicles;
  GroupFileList groups;
  for (const char* text :
       {"", "[main]\ndevCount=x\n[dev0]\ndevnum=1\n", "[main]\ndevCount=-3\n[dev0]\ndevnum=1\n"}) {
    vehicles.Append("1", {1, "stale", "", ""});
    LoadVehiclesFromDeviceList(DeviceList(text), vehicles, groups);
    EXPECT_TRUE(vehicles.empty()) << text;
    EXPECT_TRUE(groups.empty()) << text;
  }
  testing::ScratchFolder scratch;
  vehicles.Append("1", {1, "stale", "", ""});
  LoadVehiclesFromDeviceList(scratch.path() / "DeviceList.ini", vehicles, groups);
  EXPECT_TRUE(vehicles.empty());
}

TEST(DeviceListSource, AHugeCountStopsAtTheLimit) {
  VehicleList vehicles;
  GroupFileList groups;
  LoadVehiclesFromDeviceList(
      DeviceList("[main]\ndevCount=2147483647\n[dev0]\ndevnum=1\n[dev99999]\ndevnum=2\n"
                 "[dev100000]\ndevnum=3\n"),
      vehicles, groups);
  EXPECT_EQ(Names(vehicles), (std::vector<std::string>{" (1)", " (2)"}));
}

TEST(GroupFileList, PositionsOutsideTheListHaveNoName) {
  GroupFileList groups;
  groups.Append("a");
  groups.Append("b");
  EXPECT_EQ(*groups.At(1), "b");
  EXPECT_EQ(groups.At(2), nullptr);
  EXPECT_EQ(groups.At(-1), nullptr);
}

}  // namespace
}  // namespace kx
