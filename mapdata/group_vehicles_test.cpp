#include "mapdata/group_vehicles.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(GroupVehicles, SessionOrderThenRegistryOrderWithinTheGroup) {
  VehicleList vehicles;
  vehicles.Append("10", {10, "Ten (10)", "North", "north.grp"});
  vehicles.Append("20", {20, "Twenty (20)", "South", "south.grp"});
  vehicles.Append("30", {30, "Thirty (30)", "North", "north.grp"});
  vehicles.Append("10", {10, "Ten again (10)", "North", "north.grp"});

  const auto pairs = GroupVehicles({"30", "20", "10", "99", "30"}, vehicles, "north.grp");
  std::vector<std::string> names;
  for (const auto* entry : pairs) names.push_back(entry->params.displayName);
  EXPECT_EQ(names,
            (std::vector<std::string>{"Thirty (30)", "Ten (10)", "Ten again (10)", "Thirty (30)"}));
  EXPECT_EQ(DeviceListText(pairs), "30,10,10,30");
  EXPECT_EQ(DeviceListText(GroupVehicles({"10"}, vehicles, "North.grp")), "");
}

}  // namespace
}  // namespace kx
