#include "demo/last_position_files.h"

#include <cstdio>

#include "common/cp1251.h"
#include "dispatcher/kml_export.h"
#include "dispatcher/xml_text.h"

namespace kx::demo {
namespace {

// Vehicles that show the file-name rules.
constexpr int32_t kBothNamesDevice = 1003;
constexpr int32_t kSixDigitsDevice = 1004;
constexpr int32_t kNoFileDevice = 1040;
// The group written in windows-1251, as dispatchers on Russian Windows often write.
constexpr const char* kCp1251Group = "passazhir.grp";
// How much older the position in the outdated 6-digit file is.
constexpr UtcSeconds kOutdatedBy = 2 * 24 * kSecondsPerHour;

constexpr const char* kNamespace21 = "http://earth.google.com/kml/2.1";
constexpr const char* kNamespace22 = "http://www.opengis.net/kml/2.2";

struct Document {
  std::string name;
  TrackPoint point;
  bool cp1251 = false;
  std::string remark;  // appended to the description
};

[[nodiscard]] std::string Speed(double speed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", speed);
  return text;
}

[[nodiscard]] std::string Kml(const Document& doc) {
  const std::string text =
      std::string("<?xml version=\"1.0\" encoding=\"") + (doc.cp1251 ? "windows-1251" : "UTF-8") +
      "\"?>\n<kml xmlns=\"" + (doc.cp1251 ? kNamespace21 : kNamespace22) +
      "\">\n  <Placemark>\n    <name>" + XmlText(doc.name) + "</name>\n    <description>" +
      FormatIsoDateTime(doc.point.time) + " Скорость: " + Speed(doc.point.speed) + " км/ч" +
      XmlText(doc.remark) + "</description>\n    <Point>\n      <coordinates>" +
      KmlCoordinates(doc.point.latitude, doc.point.longitude) +
      "</coordinates>\n    </Point>\n  </Placemark>\n</kml>\n";
  return doc.cp1251 ? Cp1251FromUtf8(text) : text;
}

void AddFiles(const FleetGroup& group, const FleetCar& car, const std::vector<TrackPoint>& track,
              std::vector<LastPositionFile>& files) {
  if (track.empty() || car.device == kNoFileDevice) return;
  Document doc{CarTitle(car), track.back(), group.fileName == kCp1251Group, ""};
  if (car.device != kSixDigitsDevice)
    files.push_back({ZeroFilled(car.device, 7) + ".kml", Kml(doc)});
  if (car.device == kBothNamesDevice) {
    doc.point.time -= kOutdatedBy;
    doc.point.latitude = track.front().latitude;
    doc.point.longitude = track.front().longitude;
    doc.remark = " (устаревший файл)";
  }
  if (car.device == kBothNamesDevice || car.device == kSixDigitsDevice) {
    files.push_back({ZeroFilled(car.device, 6) + ".kml", Kml(doc)});
  }
}

}  // namespace

std::string ZeroFilled(int32_t device, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*d", digits, device);
  return text;
}

std::vector<LastPositionFile> MakeLastPositionFiles(const DemoData& data) {
  std::vector<LastPositionFile> files;
  for (const FleetGroup& group : data.fleet.groups) {
    for (const FleetCar& car : group.cars) {
      const auto track = data.tracks.find(car.device);
      if (track != data.tracks.end()) AddFiles(group, car, track->second, files);
    }
  }
  return files;
}

}  // namespace kx::demo
