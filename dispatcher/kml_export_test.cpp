#include "dispatcher/kml_export.h"

#include <gtest/gtest.h>

#include "dispatcher/testing/xml_probe_test_util.h"

namespace kx {
namespace {

using testing::XmlProbe;

TrackPoint Point(const char* time, double latitude, double longitude, uint32_t events) {
  TrackPoint point;
  point.time = *ParseIsoDateTime(time);
  point.latitude = latitude;
  point.longitude = longitude;
  point.speed = 61.4;
  point.events = events;
  return point;
}

TEST(TripKml, OneLineAndAPlacemarkPerPointMeetingTheMask) {
  const std::vector<TrackPoint> trip = {
      Point("2010-03-05 23:30:00", 55.75, 37.5, kEventStop),
      Point("2010-03-05 23:40:00", 55.76, 37.6, kEventSpeeding | (kEventSensor1 << 2)),
      Point("2010-03-05 23:50:00", 55.77, 37.7, kEventPowerLoss),
      Point("2010-03-06 00:00:00", 55.78, 37.8, kEventStop | kEventFuel)};
  const XmlProbe kml(TripKml("ГАЗель <А&В>", trip, kEventSpeeding | kEventFuel | 16384, 3));
  ASSERT_TRUE(kml.WellFormed());
  EXPECT_EQ(kml.Encoding(), "UTF-8");
  EXPECT_EQ(kml.Count("/k:kml/k:Document/k:Placemark"), 3);
  EXPECT_EQ(kml.Text("//k:Placemark[1]/k:name"), "ГАЗель <А&В>");
  EXPECT_EQ(kml.Text("//k:LineString/k:coordinates"),
            "37.500000,55.750000,0 37.600000,55.760000,0 37.700000,55.770000,0 "
            "37.800000,55.780000,0");
  EXPECT_EQ(kml.Text("//k:Placemark[1]/k:description"),
            "06.03.2010 02:30:00 - 06.03.2010 03:00:00");
  // The power loss is not in the mask; only the mask's bits name a point.
  EXPECT_EQ(kml.Text("//k:Placemark[2]/k:name"), "Превышение скорости, Датчик 3");
  EXPECT_EQ(kml.Text("//k:Placemark[2]/k:description"), "06.03.2010 02:40:00, 61 км/ч");
  EXPECT_EQ(kml.Text("//k:Placemark[3]/k:name"), "Заправка или слив");
  EXPECT_EQ(kml.Text("//k:Placemark[3]/k:Point/k:coordinates"), "37.800000,55.780000,0");
}

TEST(PositionsKml, OnePlacemarkPerVehicleWithLocalTime) {
  std::vector<VehiclePosition> vehicles(2);
  vehicles[0] = {"КамАЗ\x01 А001АА", 56.8, 60.6, ParseIsoDateTime("2010-03-05 07:05:00")};
  vehicles[1] = {"no time", -1.5, -2.25, std::nullopt};
  const XmlProbe kml(PositionsKml(vehicles, -8));
  ASSERT_TRUE(kml.WellFormed());
  EXPECT_EQ(kml.Count("//k:Placemark"), 2);
  EXPECT_EQ(kml.Text("//k:Placemark[1]/k:name"), "КамАЗ? А001АА");
  EXPECT_EQ(kml.Text("//k:Placemark[1]/k:description"), "04.03.2010 23:05:00");
  EXPECT_EQ(kml.Text("//k:Placemark[2]/k:description"), "");
  EXPECT_EQ(kml.Text("//k:Placemark[2]/k:Point/k:coordinates"), "-2.250000,-1.500000,0");
  EXPECT_EQ(XmlProbe(PositionsKml({}, 0)).Count("//k:Placemark"), 0);
}

TEST(EventNames, EveryEventKindHasAName) {
  EXPECT_EQ(EventNames(2 | 4 | 8 | 16 | 32),
            "Остановка, Пропадание сигнала, Пропадание питания, Превышение скорости, "
            "Заправка или слив");
  EXPECT_EQ(EventNames(4096 | 524288), "Датчик 1, Датчик 8");
  EXPECT_EQ(EventNames(1 | 64 | 2048 | 1048576), "");
}

}  // namespace
}  // namespace kx
