#include "dispatcher/kml_export.h"

#include <array>
#include <charconv>

#include "dispatcher/xml_text.h"

namespace kx {
namespace {

constexpr int kCoordinateDecimals = 6;  // about 0.1 m, finer than any tracker reports

// Each event with its text and the map page's icon for it (served from the service's img folder).
struct NamedEvent {
  uint32_t bit;
  const char* name;
  const char* icon;
};
constexpr std::array<NamedEvent, 5> kEventNames = {{
    {kEventStop, "Остановка", "KX_park.gif"},
    {kEventSignalLoss, "Пропадание сигнала", "KX_blind.gif"},
    {kEventPowerLoss, "Пропадание питания", "KX_power.gif"},
    {kEventSpeeding, "Превышение скорости", "KX_speed.gif"},
    {kEventFuel, "Заправка или слив", "KX_fuelup.gif"},
}};

void AppendFixed(std::string& out, double value, int decimals) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  out.append(text, result.ptr);
}

[[nodiscard]] std::string Element(std::string_view name, std::string_view text) {
  return "<" + std::string(name) + ">" + XmlText(text) + "</" + std::string(name) + ">";
}

// A point placemark; with an icon file name, the placemark's style shows that icon.
[[nodiscard]] std::string PointPlacemark(std::string_view name, std::string_view description,
                                         double latitude, double longitude,
                                         std::string_view icon = {}) {
  const std::string style = icon.empty()
                                ? ""
                                : "\n    <Style><IconStyle><Icon>" + Element("href", icon) +
                                      "</Icon></IconStyle></Style>";
  return "  <Placemark>\n    " + Element("name", name) + "\n    " +
         Element("description", description) + style + "\n    <Point>" +
         Element("coordinates", KmlCoordinates(latitude, longitude)) + "</Point>\n  </Placemark>\n";
}

[[nodiscard]] std::string Document(std::string_view name, std::string_view body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n  " +
         Element("name", name) + "\n" + std::string(body) + "</Document>\n</kml>\n";
}

[[nodiscard]] std::string LocalTime(UtcSeconds time, int32_t gmt_hours) {
  return FormatDispatcherDateTime(ShiftByHours(time, gmt_hours));
}

[[nodiscard]] std::string PointDescription(const TrackPoint& point, int32_t gmt_hours) {
  std::string text = LocalTime(point.time, gmt_hours) + ", ";
  AppendFixed(text, point.speed, 0);
  return text + " км/ч";
}

[[nodiscard]] std::string TripLine(std::string_view vehicle_name, std::span<const TrackPoint> trip,
                                   int32_t gmt_hours) {
  std::string coordinates;
  for (const TrackPoint& point : trip) {
    if (!coordinates.empty()) coordinates += ' ';
    coordinates += KmlCoordinates(point.latitude, point.longitude);
  }
  std::string description;
  if (!trip.empty()) {
    description =
        LocalTime(trip.front().time, gmt_hours) + " - " + LocalTime(trip.back().time, gmt_hours);
  }
  return "  <Placemark>\n    " + Element("name", vehicle_name) + "\n    " +
         Element("description", description) + "\n    <LineString><tessellate>1</tessellate>" +
         Element("coordinates", coordinates) + "</LineString>\n  </Placemark>\n";
}

}  // namespace

std::string KmlCoordinates(double latitude, double longitude) {
  std::string out;
  AppendFixed(out, longitude, kCoordinateDecimals);
  out += ',';
  AppendFixed(out, latitude, kCoordinateDecimals);
  out += ",0";
  return out;
}

std::string EventNames(uint32_t events) {
  std::string names;
  const auto add = [&names](std::string_view name) {
    if (!names.empty()) names += ", ";
    names += name;
  };
  for (const NamedEvent& event : kEventNames) {
    if ((events & event.bit) != 0) add(event.name);
  }
  for (int sensor = 1; sensor <= kSensorCount; ++sensor) {
    if ((events & (kEventSensor1 << (sensor - 1))) != 0) add("Датчик " + std::to_string(sensor));
  }
  return names;
}

std::string EventIcon(uint32_t events) {
  for (const NamedEvent& event : kEventNames) {
    if ((events & event.bit) != 0) return event.icon;
  }
  for (int sensor = 1; sensor <= kSensorCount; ++sensor) {
    if ((events & (kEventSensor1 << (sensor - 1))) != 0) {
      return "KX_sens" + std::to_string(sensor) + ".gif";
    }
  }
  return {};
}

std::string TripKml(std::string_view vehicle_name, std::span<const TrackPoint> trip,
                    uint32_t icon_mask, int32_t gmt_hours) {
  std::string body = TripLine(vehicle_name, trip, gmt_hours);
  for (const TrackPoint& point : trip) {
    const uint32_t shown = point.events & icon_mask;
    if (shown == 0) continue;
    body += PointPlacemark(EventNames(shown), PointDescription(point, gmt_hours), point.latitude,
                           point.longitude, EventIcon(shown));
  }
  return Document(vehicle_name, body);
}

std::string PositionsKml(std::span<const VehiclePosition> vehicles, int32_t gmt_hours) {
  std::string body;
  for (const VehiclePosition& vehicle : vehicles) {
    const std::string description = vehicle.time ? LocalTime(*vehicle.time, gmt_hours) : "";
    body += PointPlacemark(vehicle.name, description, vehicle.latitude, vehicle.longitude);
  }
  return Document("Последние положения", body);
}

}  // namespace kx
