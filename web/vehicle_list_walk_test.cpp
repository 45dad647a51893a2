#include "web/vehicle_list_walk.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

const DeviceAcceptance kAll = [](int) { return 1; };

TEST(WalkVehicleList, ReadsNumbersEachFollowedByADash) {
  EXPECT_EQ(WalkVehicleList("12-40-007-", kAll), (std::vector<int>{12, 40, 7}));
  EXPECT_EQ(WalkVehicleList("2147483647-", kAll), (std::vector<int>{2147483647}));
  EXPECT_TRUE(WalkVehicleList("", kAll).empty());
}

TEST(WalkVehicleList, StopsAtThePieceThatIsNoNumberAndKeepsWhatCameBefore) {
  EXPECT_EQ(WalkVehicleList("12-40", kAll), (std::vector<int>{12}));  // last one without "-"
  EXPECT_EQ(WalkVehicleList("12--40-", kAll), (std::vector<int>{12}));
  EXPECT_EQ(WalkVehicleList("12-2147483648-40-", kAll), (std::vector<int>{12}));
  EXPECT_EQ(WalkVehicleList("12-4x-40-", kAll), (std::vector<int>{12}));
  EXPECT_TRUE(WalkVehicleList("-12-", kAll).empty());
}

TEST(WalkVehicleList, KeepsEachNumberAsOftenAsTheTestSays) {
  const DeviceAcceptance test = [](int device) { return device == 40 ? 2 : device == 12 ? 1 : 0; };
  EXPECT_EQ(WalkVehicleList("5-12-40-6-", test), (std::vector<int>{12, 40, 40}));
}

TEST(DeviceTexts, DecimalTexts) {
  EXPECT_EQ(DeviceTexts({7, 1234}), (std::vector<std::string>{"7", "1234"}));
}

}  // namespace
}  // namespace kx
