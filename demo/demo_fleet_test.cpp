#include "demo/demo_fleet.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "dispatcher/testing/standin_test_util.h"

namespace kx::demo {
namespace {

// Mid-afternoon in Moscow, so the last day has trips.
const UtcSeconds kEnd = *ParseIsoDateTime("2024-05-15 12:00:00");

std::string TrackText(const std::vector<TrackPoint>& track) {
  std::string text;
  for (const TrackPoint& point : track) text += FormatTrackLine(point);
  return text;
}

class DemoFleet : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { data_.emplace(MakeDemoData(kEnd)); }
  static void TearDownTestSuite() { data_.reset(); }
  static const DemoData& Data() { return *data_; }
  static const FleetCar& Find(int32_t device) { return *FindCar(Data().fleet, device)->car; }

 private:
  static inline std::optional<DemoData> data_;
};

TEST_F(DemoFleet, SameEndGivesTheSameData) {
  const DemoData again = MakeDemoData(kEnd);
  EXPECT_EQ(WriteFleet(again.fleet).Bytes(), WriteFleet(Data().fleet).Bytes());
  ASSERT_EQ(again.tracks.size(), Data().tracks.size());
  EXPECT_EQ(TrackText(again.tracks.at(1001)), TrackText(Data().tracks.at(1001)));
  EXPECT_NE(TrackText(MakeDemoData(kEnd + kSecondsPerHour).tracks.at(1001)),
            TrackText(Data().tracks.at(1001)));
}

TEST_F(DemoFleet, GroupsAndDevicesAreThoseTheDemoUsersSee) {
  const auto& groups = Data().fleet.groups;
  ASSERT_EQ(groups.size(), 5u);
  EXPECT_TRUE(groups[2].cars.empty());
  std::vector<int32_t> devices;
  std::set<std::string> models;
  for (const FleetGroup& group : groups) {
    for (const FleetCar& car : group.cars) {
      devices.push_back(car.device);
      models.insert(car.model);
    }
  }
  std::vector<int32_t> expected;
  for (int32_t d = 1001; d <= 1040; ++d) expected.push_back(d);
  expected.push_back(12345678);
  EXPECT_EQ(devices, expected);
  EXPECT_GE(models.size(), 10u);
  EXPECT_EQ(Find(1005).model + Find(1005).number, "");
  EXPECT_NE(Find(1012).model, "");
  EXPECT_EQ(Find(1012).number, "");
  EXPECT_FALSE(Find(1027).position.has_value());
  EXPECT_EQ(Data().tracks.count(1027), 0u);
}

TEST_F(DemoFleet, EveryTrackIsAWeekInTownWithEveryEvent) {
  const uint32_t all_events = kEventStop | kEventSignalLoss | kEventPowerLoss | kEventSpeeding |
                              kEventFuel | (kEventSensor1 * 255);
  for (const auto& [device, track] : Data().tracks) {
    ASSERT_FALSE(track.empty()) << device;
    uint32_t seen = 0;
    for (size_t i = 0; i < track.size(); ++i) {
      seen |= track[i].events;
      EXPECT_NEAR(track[i].latitude, 55.75, 0.2) << device;
      EXPECT_NEAR(track[i].longitude, 37.62, 0.3) << device;
      if (i > 0) {
        EXPECT_LE(track[i - 1].time, track[i].time) << device;
      }
    }
    EXPECT_EQ(seen & all_events, all_events) << device;
    EXPECT_GE(track.front().time, kEnd - kTrackDays * 24 * kSecondsPerHour) << device;
    EXPECT_LE(track.back().time, kEnd) << device;
    const FleetCar& car = Find(device);
    ASSERT_TRUE(car.position.has_value()) << device;
    EXPECT_EQ(car.position->time, track.back().time);
    EXPECT_EQ(car.position->latitude, track.back().latitude);
  }
}

TEST_F(DemoFleet, TheStandInFindsTripsInTheLastDay) {
  testing::ScratchFolder scratch;
  testing::WriteStandInFolder(scratch.path(), Data().fleet);
  std::filesystem::create_directory(scratch.path() / "tracks");
  for (const auto& [device, track] : Data().tracks) {
    std::ofstream(scratch.path() / "tracks" / (std::to_string(device) + ".csv"))
        << TrackText(track);
  }
  const auto link = testing::StandInLink(scratch.path());
  const std::string from = FormatDispatcherDateTime(kEnd - 24 * kSecondsPerHour);
  const std::string to = FormatDispatcherDateTime(kEnd);
  for (const FleetGroup& group : Data().fleet.groups) {
    for (const FleetCar& car : group.cars) {
      if (car.device == 1027) continue;
      ASSERT_TRUE(link->StartComputing(group.fileName, car.device, from, to, "GSM", 0));
      EXPECT_GE(link->TripsNum(), 2) << car.device;
    }
  }
}

}  // namespace
}  // namespace kx::demo
