#include "dispatcher/track.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace kx {
namespace {

constexpr size_t kTrackFields = 5;

[[nodiscard]] std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    const size_t end = line.find(';', start);
    fields.push_back(line.substr(start, end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

template <typename Number>
[[nodiscard]] bool ReadNumber(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

[[nodiscard]] bool ParsePoint(std::string_view line, TrackPoint& point) {
  const std::vector<std::string_view> fields = SplitFields(line);
  if (fields.size() != kTrackFields) return false;
  const auto time = ParseIsoDateTime(fields[0]);
  if (!time) return false;
  point.time = *time;
  return ReadNumber(fields[1], point.latitude) && ReadNumber(fields[2], point.longitude) &&
         ReadNumber(fields[3], point.speed) && ReadNumber(fields[4], point.events);
}

[[nodiscard]] std::string_view WithoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

[[nodiscard]] bool IsStop(const TrackPoint& point) {
  return (point.events & kEventStop) != 0;
}

template <typename Number>
void AppendNumber(std::string& out, Number value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

}  // namespace

std::vector<TrackPoint> ParseTrack(std::string_view text) {
  std::vector<TrackPoint> points;
  size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const size_t end = text.find('\n');
    const std::string_view line = WithoutCarriageReturn(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    TrackPoint point;
    if (!ParsePoint(line, point)) {
      throw std::runtime_error("track line " + std::to_string(line_number) + " is malformed");
    }
    points.push_back(point);
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const TrackPoint& a, const TrackPoint& b) { return a.time < b.time; });
  return points;
}

std::string FormatTrackLine(const TrackPoint& point) {
  std::string line = FormatIsoDateTime(point.time);
  line += ';';
  AppendNumber(line, point.latitude);
  line += ';';
  AppendNumber(line, point.longitude);
  line += ';';
  AppendNumber(line, point.speed);
  line += ';';
  AppendNumber(line, point.events);
  line += '\n';
  return line;
}

std::vector<TrackPoint> PointsInPeriod(std::span<const TrackPoint> points, UtcSeconds from,
                                       UtcSeconds to) {
  std::vector<TrackPoint> inside;
  std::copy_if(points.begin(), points.end(), std::back_inserter(inside),
               [&](const TrackPoint& p) { return p.time >= from && p.time <= to; });
  return inside;
}

std::vector<std::vector<TrackPoint>> SplitTrips(std::span<const TrackPoint> points) {
  std::vector<std::vector<TrackPoint>> trips;
  size_t i = 0;
  while (i < points.size()) {
    if (IsStop(points[i])) {
      ++i;
      continue;
    }
    const size_t first = i > 0 ? i - 1 : i;  // the stop the vehicle set out from
    while (i < points.size() && !IsStop(points[i])) ++i;
    const size_t last = i < points.size() ? i : i - 1;  // the stop it arrived at
    trips.emplace_back(points.begin() + static_cast<std::ptrdiff_t>(first),
                       points.begin() + static_cast<std::ptrdiff_t>(last) + 1);
  }
  return trips;
}

}  // namespace kx
