#include "pages/vehicle_tree.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

using Devices = std::vector<std::string>;

const std::vector<TreeRegistryEntry> kRegistry = {
    {"10", "Газель (10)", "A", "a.grp"},
    {"20", "Камаз (20)", "B", "b.grp"},
    {"30", "ЗИЛ (30)", "A", "a.grp"},
};
const std::vector<std::string> kGroupFiles = {"a.grp", "b.grp"};

TEST(VehicleTreeTest, GroupsFollowTheFirstVehicleOfTheSessionList) {
  const Devices session = {"20", "10"};
  EXPECT_EQ(BuildVehicleTree(session, kRegistry, kGroupFiles, false),
            "d.add(1,0,'B', 0, \"window.parent.GroupSelect('1')\");"
            "d.add(2,0,'A', 0, \"window.parent.GroupSelect('0')\");"
            "d.add(3,1,'Камаз (20)', 0,'window.parent.CarSelect(20)', 20);"
            "d.add(4,2,'Газель (10)', 0,'window.parent.CarSelect(10)', 10);");
}

TEST(VehicleTreeTest, CheckBoxModeUsesFlagMinusOneAndActionThis) {
  const Devices session = {"30"};
  EXPECT_EQ(BuildVehicleTree(session, kRegistry, kGroupFiles, true),
            "d.add(1,0,'A', -1, \"this\");d.add(2,1,'ЗИЛ (30)', -1,'this', 30);");
}

TEST(VehicleTreeTest, DuplicateKeysGiveOneVehiclePerRegistryEntryInRegistryOrder) {
  const std::vector<TreeRegistryEntry> registry = {{"7", "First (7)", "G", "g.grp"},
                                                   {"8", "Other (8)", "H", "h.grp"},
                                                   {"7", "Second (7)", "K", "k.grp"}};
  const std::vector<std::string> files = {"k.grp", "g.grp"};
  const Devices session = {"8", "7"};
  EXPECT_EQ(BuildVehicleTree(session, registry, files, false),
            "d.add(1,0,'H', 0, \"window.parent.GroupSelect('2')\");"
            "d.add(2,0,'G', 0, \"window.parent.GroupSelect('1')\");"
            "d.add(3,0,'K', 0, \"window.parent.GroupSelect('0')\");"
            "d.add(4,1,'Other (8)', 0,'window.parent.CarSelect(8)', 8);"
            "d.add(5,2,'First (7)', 0,'window.parent.CarSelect(7)', 7);"
            "d.add(6,3,'Second (7)', 0,'window.parent.CarSelect(7)', 7);");
}

TEST(VehicleTreeTest, SessionNumbersMatchKeysExactlyAndRepeatsRepeat) {
  const Devices session = {"010", "10", "99", "10"};
  EXPECT_EQ(BuildVehicleTree(session, kRegistry, kGroupFiles, true),
            "d.add(1,0,'A', -1, \"this\");"
            "d.add(2,1,'Газель (10)', -1,'this', 10);"
            "d.add(3,1,'Газель (10)', -1,'this', 10);");
}

TEST(VehicleTreeTest, GroupIsKnownByNameAndItsSelectorByTheFirstEqualFileName) {
  // Two entries of group "A" with different file names: the group keeps the first entry's
  // file; an unknown file name selects one past the end of the file list.
  const std::vector<TreeRegistryEntry> registry = {{"1", "One (1)", "A", "zzz.grp"},
                                                   {"2", "Two (2)", "A", "a.grp"}};
  const std::vector<std::string> files = {"a.grp", "b.grp", "a.grp"};
  const Devices session = {"1", "2"};
  EXPECT_EQ(BuildVehicleTree(session, registry, files, false),
            "d.add(1,0,'A', 0, \"window.parent.GroupSelect('3')\");"
            "d.add(2,1,'One (1)', 0,'window.parent.CarSelect(1)', 1);"
            "d.add(3,1,'Two (2)', 0,'window.parent.CarSelect(2)', 2);");
}

TEST(VehicleTreeTest, NamesAreEscapedForTheScriptString) {
  const std::vector<TreeRegistryEntry> registry = {
      {"5", "Bob's </script> (5)", "Fleet \\ 'x'", "f"}};
  const std::vector<std::string> files = {"f"};
  const Devices session = {"5"};
  EXPECT_EQ(BuildVehicleTree(session, registry, files, true),
            "d.add(1,0,'Fleet \\x5C \\x27x\\x27', -1, \"this\");"
            "d.add(2,1,'Bob\\x27s \\x3C/script\\x3E (5)', -1,'this', 5);");
}

TEST(VehicleTreeTest, NoVehiclesGiveNoEntries) {
  EXPECT_EQ(BuildVehicleTree(Devices{}, kRegistry, kGroupFiles, false), "");
  EXPECT_EQ(BuildVehicleTree(Devices{"77"}, kRegistry, kGroupFiles, false), "");
}

}  // namespace
}  // namespace kx
